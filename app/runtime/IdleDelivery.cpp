#include "app/runtime/IdleDelivery.h"

#include "platform/Log.h"
#include "platform/NotificationQueue.h"

#include <exception>

namespace plovex {

IdleDelivery::IdleDelivery(platform::NotificationQueue& queue) : queue_(queue)
{
    timer_.setSingleShot(true);
    timer_.setInterval(0);
    connect(&timer_, &QTimer::timeout, this, &IdleDelivery::deliver);
    queue_.setWakeUp([this] {
        if (!timer_.isActive())
            timer_.start();
    });
    if (queue_.pending() > 0 && !queue_.held())
        timer_.start();
}

IdleDelivery::~IdleDelivery()
{
    queue_.setWakeUp({});
}

void IdleDelivery::deliver()
{
    const std::size_t before = queue_.pending();
    // An observer's exception must not unwind through Qt's event loop. What
    // was queued behind the failing notification is delivered next pass.
    try {
        queue_.deliverWhenIdle();
    } catch (const std::exception& e) {
        platform::logEntry(std::string("notification observer failed: ") + e.what());
    } catch (...) {
        platform::logEntry("notification observer failed with an unknown exception");
    }
    // Left-overs (an observer failed) get another pass, but only while
    // passes make progress, so a stuck queue cannot spin the loop.
    if (queue_.pending() > 0 && queue_.pending() < before && !queue_.held())
        timer_.start();
}

} // namespace plovex
