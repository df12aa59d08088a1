#pragma once
// The hand-over the window, the command line and the tests assemble for the
// link: records go to the main thread, which queues them to be posted when
// its loop is idle. The main thread is woken once per batch: records handed
// over before it has come round to take the last ones join them without
// another wake-up. Every record is still queued once, in hand-over order.
//
//   platform::IdleHandOver handOver(mainThread, queue);
//   options.sink = &handOver;        // the commPort hands its records here
//
// The object may go before the tasks it posted have run; they hold what they
// need.

#include "platform/RecordSink.h"

#include <memory>

namespace platform {

class MainThread;
class NotificationQueue;

class IdleHandOver final : public RecordSink {
public:
    // mainThread null: the process's main thread (defaultMainThread()) at the
    // time of each hand-over.
    IdleHandOver(MainThread* mainThread, NotificationQueue& queue);

    void handOver(const char* name, RecordPtr record) override;

    // Batches handed to the main thread so far (each one a wake-up).
    unsigned long wakeUps() const;

private:
    struct Batch;
    std::shared_ptr<Batch> batch_;
};

} // namespace platform
