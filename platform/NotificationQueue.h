#pragma once
// The main thread's queue of notifications that are posted when the main
// loop is idle. Every queued notification is delivered exactly once, in
// queueing order, whatever its name: two records are never merged, since
// each is an object of its own. While a modal session runs (a confirmation
// alert) delivery is held; what arrives meanwhile is delivered after it.
//
// A held notification costs its record and 10 bytes here: the queue keeps
// the record and a number standing for the name, not a copy of the name.
//
// Used on the main thread only.

#include "platform/Notification.h"

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

class NotificationCenter;

class NotificationQueue {
public:
    explicit NotificationQueue(NotificationCenter& center);

    // Queues n for delivery at the next idle moment of the main loop.
    void enqueueWhenIdle(Notification n);
    void enqueueWhenIdle(std::string_view name, RecordPtr object);

    // Called by the main loop when it is idle: posts everything queued, in
    // order, unless a modal session holds delivery. Notifications queued by
    // an observer during delivery are delivered in the same call.
    void deliverWhenIdle();

    // Modal sessions nest; delivery resumes when the last one ends.
    void beginModal();
    void endModal();
    bool held() const { return modalDepth_ > 0; }

    std::size_t pending() const { return records_.size(); }

    // The loop that hosts the queue is told through this whenever there is
    // something to deliver (so an event-driven loop can arrange an idle pass).
    void setWakeUp(std::function<void()> wakeUp) { wakeUp_ = std::move(wakeUp); }

    // The process's queue, bound to NotificationCenter::defaultCenter().
    static NotificationQueue& defaultQueue();

private:
    uint16_t nameIndex(std::string_view name);

    NotificationCenter& center_;
    // Entry i: records_[i] posted under names_[nameOf_[i]].
    std::deque<RecordPtr> records_;
    std::deque<uint16_t> nameOf_;
    // One notification per name, whose object is set for each post.
    std::deque<Notification> names_;
    int modalDepth_ = 0;
    bool delivering_ = false;
    std::function<void()> wakeUp_;
};

// RAII form of beginModal/endModal around an alert.
class ModalSession {
public:
    explicit ModalSession(NotificationQueue& q) : q_(q) { q_.beginModal(); }
    ~ModalSession() { q_.endModal(); }
    ModalSession(const ModalSession&) = delete;
    ModalSession& operator=(const ModalSession&) = delete;

private:
    NotificationQueue& q_;
};

} // namespace platform
