#include "app/outlets/QtAlert.h"

#include "platform/NotificationQueue.h"

#include <QGridLayout>
#include <QMessageBox>
#include <QSpacerItem>
#include <QPushButton>

namespace plovex {

int QtAlert::runModal(const AlertText& alert)
{
    platform::ModalSession hold(queue_);

    QMessageBox box(parent_);
    box.setIcon(QMessageBox::Question);
    box.setWindowTitle(QString::fromStdString(alert.messageText));
    box.setText(QString::fromStdString(alert.messageText));
    box.setInformativeText(QString::fromStdString(alert.informativeText));
    QPushButton* confirm = box.addButton(QString::fromStdString(alert.defaultButton), QMessageBox::AcceptRole);
    QPushButton* dismiss = box.addButton(QString::fromStdString(alert.alternateButton), QMessageBox::RejectRole);
    box.setDefaultButton(confirm);
    box.setEscapeButton(dismiss);
    // Wide enough that the window manager shows the title whole: the title,
    // its bar's buttons and margins.
    if (auto* grid = qobject_cast<QGridLayout*>(box.layout())) {
        const int width = box.fontMetrics().horizontalAdvance(box.windowTitle()) * 3 / 2 + 200;
        grid->addItem(new QSpacerItem(width, 0, QSizePolicy::Minimum, QSizePolicy::Fixed), grid->rowCount(), 0, 1,
                      grid->columnCount());
    }
    box.exec();
    return box.clickedButton() == confirm ? 1 : 0;
}

} // namespace plovex
