#pragma once
// The one clock the tests give the loops (the commPort's and the idle
// thread's). It notes every pause asked for, compresses the long ones, and
// can hold the loop in its pauses so that a test knows exactly which cycle
// runs next:
//
//   auto clock = std::make_shared<TestClock>();
//   clock->hold();                 // the loop stops in its first pause...
//   ... make the port, clock->parked(), OpenPort ...
//   clock->step(3);                // ...runs three cycles and stops again
//   clock->release();              // runs freely from here on

#include "platform/Sleeper.h"

#include <condition_variable>
#include <functional>
#include <mutex>
#include <vector>

namespace testsupport {

class TestClock : public platform::Sleeper {
public:
    // Pauses of 0.25 s and more last scale times their length; shorter ones
    // (the 0.001 s between exchanges) last what they say.
    explicit TestClock(double scale = 0.0) : scale_(scale) {}
    bool sleepFor(double seconds, std::stop_token stop) override;

    // Every pause asked for so far, in order.
    std::vector<double> pauses() const;
    // Called on the sleeping thread as each pause begins.
    std::function<void(double)> onPause;

    // From now on every pause waits for the test's go.
    void hold();
    // Waits until the loop waits in a pause; false after 30 s.
    bool parked();
    // Lets the loop finish n pauses and waits until it is parked in the next.
    bool step(int n = 1);
    // The loop runs freely again.
    void release();

private:
    const double scale_;
    mutable std::mutex mutex_;
    std::condition_variable_any changed_;
    std::vector<double> pauses_;
    bool holding_ = false, parked_ = false;
    int permits_ = 0;
};

} // namespace testsupport
