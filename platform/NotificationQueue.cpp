#include "platform/NotificationQueue.h"

#include "platform/NotificationCenter.h"

#include <limits>
#include <stdexcept>

namespace platform {

NotificationQueue::NotificationQueue(NotificationCenter& center) : center_(center) {}

uint16_t NotificationQueue::nameIndex(std::string_view name)
{
    // A queue sees a handful of names; the last one used is the likeliest.
    for (std::size_t i = names_.size(); i-- > 0;)
        if (names_[i].name == name)
            return static_cast<uint16_t>(i);
    if (names_.size() > std::numeric_limits<uint16_t>::max())
        throw std::length_error("notification queue: too many distinct names");
    names_.push_back({std::string(name), nullptr});
    return static_cast<uint16_t>(names_.size() - 1);
}

void NotificationQueue::enqueueWhenIdle(std::string_view name, RecordPtr object)
{
    const uint16_t index = nameIndex(name);
    records_.push_back(std::move(object));
    nameOf_.push_back(index);
    if (wakeUp_ && modalDepth_ == 0)
        wakeUp_();
}

void NotificationQueue::enqueueWhenIdle(Notification n)
{
    enqueueWhenIdle(n.name, std::move(n.object));
}

void NotificationQueue::deliverWhenIdle()
{
    if (delivering_)
        return; // an observer running a nested loop: the outer pass goes on in order
    // Cleared however the pass ends, so nothing can stop delivery for good.
    struct Pass {
        bool& flag;
        ~Pass() { flag = false; }
    } pass{delivering_};
    delivering_ = true;
    while (!records_.empty() && modalDepth_ == 0) {
        // The centre reports an observer that throws and goes on, so a
        // record taken off the queue reaches every observer.
        Notification& n = names_[nameOf_.front()];
        n.object = std::move(records_.front());
        records_.pop_front();
        nameOf_.pop_front();
        center_.post(n);
        n.object.reset();
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
    if (modalDepth_ == 0 && !records_.empty() && wakeUp_)
        wakeUp_();
}

NotificationQueue& NotificationQueue::defaultQueue()
{
    static NotificationQueue queue(NotificationCenter::defaultCenter());
    return queue;
}

} // namespace platform
