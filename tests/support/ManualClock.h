#pragma once
// A steady clock that moves only when the test moves it, for what takes its
// time from a now() function (the window's link health, the MQTT
// publisher's back-off). It starts at the real time it was made and counts
// how often it is read, so that a test can wait until another thread has
// looked at the time it set:
//
//   ManualClock clock;
//   settings.clock = clock.source();   // the clock outlives what reads it
//   clock.advance(999ms);
//   clock.seen();                      // the publisher has looked at it since

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>

namespace testsupport {

class ManualClock {
public:
    using TimePoint = std::chrono::steady_clock::time_point;

    TimePoint now()
    {
        std::lock_guard lock(mutex_);
        ++reads_;
        read_.notify_all();
        return now_;
    }
    std::function<TimePoint()> source()
    {
        return [this] { return now(); };
    }
    void advance(std::chrono::steady_clock::duration d)
    {
        std::lock_guard lock(mutex_);
        now_ += d;
    }
    // Waits until the clock has been read twice more (so at least once
    // after a change made before the call); false after 30 s.
    bool seen()
    {
        std::unique_lock lock(mutex_);
        const unsigned long target = reads_ + 2;
        return read_.wait_for(lock, std::chrono::seconds(30), [&] { return reads_ >= target; });
    }

private:
    std::mutex mutex_;
    std::condition_variable read_;
    TimePoint now_ = std::chrono::steady_clock::now();
    unsigned long reads_ = 0;
};

} // namespace testsupport
