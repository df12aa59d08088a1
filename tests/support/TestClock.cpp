#include "tests/support/TestClock.h"

using namespace std::chrono_literals;

namespace testsupport {

bool TestClock::sleepFor(double seconds, std::stop_token stop)
{
    if (onPause)
        onPause(seconds);
    {
        std::unique_lock lock(mutex_);
        pauses_.push_back(seconds);
        if (holding_) {
            parked_ = true;
            changed_.notify_all();
            const bool go = changed_.wait(lock, stop, [this] { return permits_ > 0 || !holding_; });
            parked_ = false;
            if (!go)
                return false;
            if (holding_) {
                --permits_;
                return true; // the wait was the pause
            }
        }
    }
    const double length = seconds >= 0.25 ? seconds * scale_ : seconds;
    return platform::interruptibleSleep(std::chrono::duration_cast<std::chrono::nanoseconds>(
                                            std::chrono::duration<double>(length)),
                                        stop);
}

std::vector<double> TestClock::pauses() const
{
    std::lock_guard lock(mutex_);
    return pauses_;
}

void TestClock::hold()
{
    std::lock_guard lock(mutex_);
    holding_ = true;
    permits_ = 0;
}

bool TestClock::parked()
{
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, 30s, [this] { return parked_ && permits_ == 0; });
}

bool TestClock::step(int n)
{
    std::unique_lock lock(mutex_);
    const std::size_t target = pauses_.size() + static_cast<std::size_t>(n);
    permits_ += n;
    changed_.notify_all();
    return changed_.wait_for(lock, 30s, [&] { return pauses_.size() >= target && parked_ && permits_ == 0; });
}

void TestClock::release()
{
    std::lock_guard lock(mutex_);
    holding_ = false;
    changed_.notify_all();
}

} // namespace testsupport
