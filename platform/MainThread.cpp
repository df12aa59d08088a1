#include "platform/MainThread.h"

#include <atomic>
#include <cerrno>
#include <ctime>

namespace platform {

RunLoop::RunLoop()
{
    sem_init(&wakeSignal_, 0, 0);
}

RunLoop::~RunLoop()
{
    sem_destroy(&wakeSignal_);
}

void RunLoop::post(std::function<void()> task)
{
    {
        std::lock_guard lock(mutex_);
        tasks_.push_back(std::move(task));
    }
    wakeUp();
}

void RunLoop::wakeUp()
{
    if (asleep_.exchange(false))
        sem_post(&wakeSignal_);
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
        if (!tasks_.empty() || stopRequested_)
            continue;
        asleep_.store(true);
        lock.unlock();
        const auto wait = std::min(deadline - std::chrono::steady_clock::now(),
                                   std::chrono::steady_clock::duration(std::chrono::milliseconds(20)));
        timespec until{};
        clock_gettime(CLOCK_MONOTONIC, &until);
        const auto ns = until.tv_nsec + std::chrono::duration_cast<std::chrono::nanoseconds>(wait).count();
        until.tv_sec += static_cast<time_t>(ns / 1'000'000'000);
        until.tv_nsec = static_cast<long>(ns % 1'000'000'000);
        if (wait.count() > 0)
            sem_clockwait(&wakeSignal_, CLOCK_MONOTONIC, &until); // a post, the time, or a signal (EINTR) ends it
        asleep_.store(false);
        lock.lock();
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
    wakeUp();
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
