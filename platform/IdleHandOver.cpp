#include "platform/IdleHandOver.h"

#include "platform/MainThread.h"
#include "platform/NotificationQueue.h"

#include <mutex>
#include <utility>
#include <vector>

namespace platform {

struct IdleHandOver::Batch {
    Batch(MainThread* m, NotificationQueue& q) : mainThread(m), queue(q) {}
    MainThread* const mainThread;
    NotificationQueue& queue;

    std::mutex mutex;
    std::vector<std::pair<const char*, RecordPtr>> waiting; // handed over, not yet taken
    bool wakeUpPosted = false;
    unsigned long wakeUps = 0;
    std::vector<std::pair<const char*, RecordPtr>> taking; // main thread only

    // On the main thread: takes every record waiting and queues it.
    void take()
    {
        {
            std::lock_guard lock(mutex);
            taking.swap(waiting);
            wakeUpPosted = false;
        }
        for (auto& [name, record] : taking)
            queue.enqueueWhenIdle(name, std::move(record));
        taking.clear(); // keeps its capacity for the next batch
    }
};

IdleHandOver::IdleHandOver(MainThread* mainThread, NotificationQueue& queue)
    : batch_(std::make_shared<Batch>(mainThread, queue))
{
}

void IdleHandOver::handOver(const char* name, RecordPtr record)
{
    bool wake = false;
    {
        std::lock_guard lock(batch_->mutex);
        batch_->waiting.emplace_back(name, std::move(record));
        if (!batch_->wakeUpPosted) {
            batch_->wakeUpPosted = true;
            ++batch_->wakeUps;
            wake = true;
        }
    }
    if (!wake)
        return; // the task already on its way takes this record too
    MainThread& main = batch_->mainThread ? *batch_->mainThread : defaultMainThread();
    main.post([batch = batch_] { batch->take(); });
}

unsigned long IdleHandOver::wakeUps() const
{
    std::lock_guard lock(batch_->mutex);
    return batch_->wakeUps;
}

RecordSink& defaultRecordSink()
{
    static IdleHandOver handOver(nullptr, NotificationQueue::defaultQueue());
    return handOver;
}

} // namespace platform
