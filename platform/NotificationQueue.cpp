#include "platform/NotificationQueue.h"

#include "platform/NotificationCenter.h"

namespace platform {

NotificationQueue::NotificationQueue(NotificationCenter& center) : center_(center) {}

void NotificationQueue::enqueueWhenIdle(Notification n)
{
    queue_.push_back(std::move(n));
    if (wakeUp_ && modalDepth_ == 0)
        wakeUp_();
}

void NotificationQueue::deliverWhenIdle()
{
    if (delivering_)
        return; // an observer running a nested loop: the outer pass goes on in order
    // Cleared however the pass ends, so an observer that throws cannot stop
    // delivery for good; the rest of the queue waits for the next idle pass.
    struct Pass {
        bool& flag;
        ~Pass() { flag = false; }
    } pass{delivering_};
    delivering_ = true;
    while (!queue_.empty() && modalDepth_ == 0) {
        Notification n = std::move(queue_.front());
        queue_.pop_front();
        center_.post(n);
    }
}

void NotificationQueue::beginModal()
{
    ++modalDepth_;
}

void NotificationQueue::endModal()
{
    if (modalDepth_ > 0)
        --modalDepth_;
    if (modalDepth_ == 0 && !queue_.empty() && wakeUp_)
        wakeUp_();
}

NotificationQueue& NotificationQueue::defaultQueue()
{
    static NotificationQueue queue(NotificationCenter::defaultCenter());
    return queue;
}

} // namespace platform
