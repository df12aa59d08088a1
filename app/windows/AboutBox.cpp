#include "app/windows/AboutBox.h"

#include "app/CommandLine.h"

#include <QMessageBox>

#ifndef PLOVEX_LICENSE
#define PLOVEX_LICENSE "unknown"
#endif

namespace plovex {

QString aboutText(const std::string& portPath)
{
    const QString port = portPath.empty() ? QStringLiteral("none yet") : QString::fromStdString(portPath);
    return QString::fromStdString(versionText()).trimmed() +
           QStringLiteral("\n\nMonitor for a two-axis inclinometer board on a serial line.\n\n"
                          "Port in use: ") +
           port + QStringLiteral("\nLicence: " PLOVEX_LICENSE);
}

void showAbout(QWidget* parent, const std::string& portPath)
{
    QMessageBox::about(parent, QStringLiteral("About plovex"), aboutText(portPath));
}

} // namespace plovex
