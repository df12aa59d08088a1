#include "platform/MainThread.h"

#include <atomic>

namespace platform {

void RunLoop::post(std::function<void()> task)
{
    {
        std::lock_guard lock(mutex_);
        tasks_.push_back(std::move(task));
    }
    wake_.notify_all();
}

void RunLoop::addIdleHandler(std::function<void()> handler)
{
    std::lock_guard lock(mutex_);
    idleHandlers_.push_back(std::move(handler));
}

std::size_t RunLoop::pendingTasks() const
{
    std::lock_guard lock(mutex_);
    return tasks_.size();
}

// Runs every task queued so far, then (queue empty) the idle handlers.
// Returns true when anything ran.
bool RunLoop::runOnce(std::unique_lock<std::mutex>& lock)
{
    bool ran = false;
    while (!tasks_.empty() && !stopRequested_) {
        auto task = std::move(tasks_.front());
        tasks_.pop_front();
        lock.unlock();
        task();
        ran = true;
        lock.lock();
    }
    if (tasks_.empty() && !stopRequested_) {
        auto handlers = idleHandlers_;
        lock.unlock();
        for (auto& h : handlers)
            h();
        lock.lock();
    }
    return ran;
}

void RunLoop::runPending()
{
    std::unique_lock lock(mutex_);
    stopRequested_ = false;
    runOnce(lock);
}

bool RunLoop::runUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    std::unique_lock lock(mutex_);
    stopRequested_ = false;
    for (;;) {
        runOnce(lock);
        if (stopRequested_)
            return true;
        lock.unlock();
        const bool finished = done && done();
        lock.lock();
        if (finished)
            return true;
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        // Wake for new tasks; poll done() a few times a second at most between them.
        wake_.wait_until(lock, std::min(deadline, std::chrono::steady_clock::now() + std::chrono::milliseconds(20)),
                         [this] { return !tasks_.empty() || stopRequested_; });
    }
}

void RunLoop::runFor(std::chrono::milliseconds duration)
{
    runUntil(nullptr, duration);
}

void RunLoop::stop()
{
    {
        std::lock_guard lock(mutex_);
        stopRequested_ = true;
    }
    wake_.notify_all();
}

namespace {
std::atomic<MainThread*> installed{nullptr};
}

RunLoop& defaultRunLoop()
{
    static RunLoop loop;
    return loop;
}

MainThread& defaultMainThread()
{
    MainThread* m = installed.load(std::memory_order_acquire);
    return m ? *m : defaultRunLoop();
}

void setDefaultMainThread(MainThread* mainThread)
{
    installed.store(mainThread, std::memory_order_release);
}

} // namespace platform
