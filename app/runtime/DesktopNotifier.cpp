#include "app/runtime/DesktopNotifier.h"

#include "platform/Log.h"

#include <QDBusConnection>
#include <QDBusError>
#include <QDBusMessage>
#include <QStringList>
#include <QVariantMap>

namespace plovex {

void DesktopNotifier::notify(const std::string& summary, const std::string& body)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        if (!toldNoBus_)
            platform::logEntry("no session bus, so no desktop notifications: " + bus.lastError().message().toStdString());
        toldNoBus_ = true;
        return;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.Notifications"),
                                                       QStringLiteral("/org/freedesktop/Notifications"),
                                                       QStringLiteral("org.freedesktop.Notifications"),
                                                       QStringLiteral("Notify"));
    QVariantMap hints;
    hints.insert(QStringLiteral("urgency"), QVariant::fromValue(static_cast<uchar>(2))); // critical
    call << QStringLiteral("plovex") << 0u << QStringLiteral("plovex") << QString::fromStdString(summary)
         << QString::fromStdString(body) << QStringList() << hints << -1;
    bus.send(call); // the answer, or an error from a desktop without notifications, is not waited for
}

} // namespace plovex
