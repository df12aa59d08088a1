#pragma once
// The hand-over the window, the command line and the tests assemble for the
// link: records go to the main thread, which queues them to be posted when
// its loop is idle. The main thread is woken once per batch: records handed
// over before it has come round to take the last ones join them without
// another wake-up. Every record is still queued once, in hand-over order.
//
// With a gathering time (the window's display frame), a main thread that has
// just taken records comes back for the next ones after that time instead of
// being woken for each: while records stream in, it wakes once a frame; the
// first record after a quiet spell still wakes it at once. The gathering
// time may change while records flow (the window gathers longer while it is
// out of sight); a take already on its way keeps the time it was set with.
//
//   platform::IdleHandOver handOver(mainThread, queue);
//   options.sink = &handOver;        // the commPort hands its records here
//
// The object may go before the tasks it posted have run; they hold what they
// need.

#include "platform/RecordSink.h"

#include <chrono>
#include <memory>

namespace platform {

class MainThread;
class NotificationQueue;

class IdleHandOver final : public RecordSink {
public:
    // mainThread null: the process's main thread (defaultMainThread()) at the
    // time of each hand-over.
    IdleHandOver(MainThread* mainThread, NotificationQueue& queue,
                 std::chrono::milliseconds gather = std::chrono::milliseconds(0));

    void handOver(const char* name, RecordPtr record) override;

    // The gathering time from the next take on.
    void setGather(std::chrono::milliseconds gather);
    std::chrono::milliseconds gather() const;

    // Batches handed to the main thread so far (each one a wake-up).
    unsigned long wakeUps() const;

private:
    struct Batch;
    std::shared_ptr<Batch> batch_;
};

} // namespace platform
