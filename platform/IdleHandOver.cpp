#include "platform/IdleHandOver.h"

#include "platform/MainThread.h"
#include "platform/NotificationQueue.h"

#include <mutex>
#include <utility>
#include <vector>

namespace platform {

struct IdleHandOver::Batch : std::enable_shared_from_this<Batch> {
    Batch(MainThread* m, NotificationQueue& q, std::chrono::milliseconds g) : mainThread(m), queue(q), gather(g) {}
    MainThread* const mainThread;
    NotificationQueue& queue;
    std::chrono::milliseconds gather; // under mutex

    MainThread& main() const { return mainThread ? *mainThread : defaultMainThread(); }

    std::mutex mutex;
    std::vector<std::pair<const char*, RecordPtr>> waiting; // handed over, not yet taken
    bool wakeUpPosted = false;
    unsigned long wakeUps = 0;
    std::vector<std::pair<const char*, RecordPtr>> taking; // main thread only

    // On the main thread: takes every record waiting and queues it. While
    // records come, with a gathering time, comes back for more after it.
    void take()
    {
        bool again = false;
        std::chrono::milliseconds after{};
        {
            std::lock_guard lock(mutex);
            taking.swap(waiting);
            after = gather;
            again = after.count() > 0 && !taking.empty();
            wakeUpPosted = again; // records handed over meanwhile wait for the next take
        }
        for (auto& [name, record] : taking)
            queue.enqueueWhenIdle(name, std::move(record));
        taking.clear(); // keeps its capacity for the next batch
        if (again)
            main().postAfter(after, [self = shared_from_this()] { self->take(); });
    }
};

IdleHandOver::IdleHandOver(MainThread* mainThread, NotificationQueue& queue, std::chrono::milliseconds gather)
    : batch_(std::make_shared<Batch>(mainThread, queue, gather))
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
    batch_->main().post([batch = batch_] { batch->take(); });
}

void IdleHandOver::setGather(std::chrono::milliseconds gather)
{
    std::lock_guard lock(batch_->mutex);
    batch_->gather = gather;
}

std::chrono::milliseconds IdleHandOver::gather() const
{
    std::lock_guard lock(batch_->mutex);
    return batch_->gather;
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
