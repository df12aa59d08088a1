#pragma once
// Hand-over of work to the main thread. post() never waits for the main
// thread: a background thread that holds the port lock may call it while the
// main thread waits for that lock.

#include <atomic>
#include <chrono>
#include <deque>
#include <functional>
#include <mutex>
#include <semaphore.h>
#include <vector>

namespace platform {

class MainThread {
public:
    virtual ~MainThread() = default;
    // Queue task to run later on the main thread, in posting order. Returns at once.
    virtual void post(std::function<void()> task) = 0;
    // Runs task on the main thread once delay has passed (a loop without
    // timers runs it as soon as it can). Called on the main thread.
    virtual void postAfter(std::chrono::milliseconds delay, std::function<void()> task)
    {
        (void)delay;
        post(std::move(task));
    }
};

// The main loop of the command-line tool and the tests: runs posted tasks in
// order and, whenever no task is pending, its idle handlers (which is where
// the notification queue delivers).
class RunLoop : public MainThread {
public:
    RunLoop();
    ~RunLoop() override;
    RunLoop(const RunLoop&) = delete;
    RunLoop& operator=(const RunLoop&) = delete;

    void post(std::function<void()> task) override;

    // Called on the loop's thread each time the loop has run out of tasks.
    void addIdleHandler(std::function<void()> handler);

    // Runs tasks and idle handlers until stop(), done() is true, or the time is up.
    // Returns true when done() became true (or stop() was called).
    bool runUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout);
    void runFor(std::chrono::milliseconds duration);
    // Runs what is pending now, then the idle handlers; does not wait.
    void runPending();
    // Makes a running runUntil/runFor return; safe from any thread.
    void stop();

    std::size_t pendingTasks() const;

private:
    bool runOnce(std::unique_lock<std::mutex>& lock);
    // Wakes the loop if it waits (one system call), else does nothing.
    void wakeUp();

    mutable std::mutex mutex_;
    // The loop waits on the semaphore only after saying so in asleep_; a
    // post wakes it only then, so a busy loop costs a poster nothing.
    std::atomic<bool> asleep_{false};
    sem_t wakeSignal_;
    std::deque<std::function<void()>> tasks_;
    std::vector<std::function<void()>> idleHandlers_;
    bool stopRequested_ = false;
};

// The process's main thread hand-over. The application installs its own at
// start; until then (and in the command-line tool) it is a RunLoop.
MainThread& defaultMainThread();
RunLoop& defaultRunLoop();
void setDefaultMainThread(MainThread* mainThread);

} // namespace platform
