#include "app/QtAlert.h"

#include "platform/NotificationQueue.h"

#include <QMessageBox>
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
    box.exec();
    return box.clickedButton() == confirm ? 1 : 0;
}

} // namespace plovex
