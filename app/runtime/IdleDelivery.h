#pragma once
// Delivers a notification queue from the Qt event loop when the loop is
// idle: whenever something is queued, a zero-interval timer is armed, and
// Qt runs such timers only after the events already posted have been
// handled. Each timeout delivers everything queued so far, in order, unless
// a modal session holds delivery; the end of the session re-arms the timer.

#include <QObject>
#include <QTimer>

namespace platform {
class NotificationQueue;
}

namespace plovex {

class IdleDelivery final : public QObject {
public:
    // Takes over the queue's wake-up; made on the GUI thread.
    explicit IdleDelivery(platform::NotificationQueue& queue);
    ~IdleDelivery() override;

    IdleDelivery(const IdleDelivery&) = delete;
    IdleDelivery& operator=(const IdleDelivery&) = delete;

private:
    void deliver();

    platform::NotificationQueue& queue_;
    QTimer timer_;
};

} // namespace plovex
