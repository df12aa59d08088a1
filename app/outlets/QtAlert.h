#pragma once
// The confirmation alert as a QMessageBox. While it runs, delivery of the
// notification queue is held; what arrives meanwhile is delivered, in order,
// once it has closed.

#include "controller/Outlets.h"

class QWidget;

namespace platform {
class NotificationQueue;
}

namespace plovex {

class QtAlert final : public AlertOutlet {
public:
    QtAlert(QWidget* parent, platform::NotificationQueue& queue) : parent_(parent), queue_(queue) {}

    // 1 when the default button was chosen, 0 otherwise (the alternate
    // button, Escape, or the box closed).
    int runModal(const AlertText& alert) override;

private:
    QWidget* parent_;
    platform::NotificationQueue& queue_;
};

} // namespace plovex
