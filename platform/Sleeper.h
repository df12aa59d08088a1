#pragma once
// The one clock through which the background loops wait. The specified
// pauses (1.0 s, 0.5 s, 0.25 s, 0.001 s) are passed as they stand; a test
// sleeper may compress them. Every wait ends early when a stop is requested,
// which only destructors do.

#include <chrono>
#include <memory>
#include <stop_token>

namespace platform {

class Sleeper {
public:
    virtual ~Sleeper() = default;
    // Waits seconds; returns false when stop was requested before the time was up.
    virtual bool sleepFor(double seconds, std::stop_token stop) = 0;
};

// Waits the given time, scaled by factor (1.0: real time). Waits up to
// kUninterruptedPause end at their time even when a stop comes first.
class ScaledSleeper : public Sleeper {
public:
    static constexpr std::chrono::milliseconds kUninterruptedPause{2};
    explicit ScaledSleeper(double factor = 1.0) : factor_(factor) {}
    bool sleepFor(double seconds, std::stop_token stop) override;
    double factor() const { return factor_; }

private:
    double factor_;
};

// Real time.
std::shared_ptr<Sleeper> realSleeper();

// Waits up to the time given, waking at once when stop is requested.
bool interruptibleSleep(std::chrono::nanoseconds duration, std::stop_token stop);

} // namespace platform
