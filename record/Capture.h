#pragma once
// A captured reading: the measurements of the next T seconds averaged into
// count, mean, standard deviation, minimum and maximum of each angle (in
// degrees and in the chosen unit) and of the temperature, optionally once
// the tilt is stable (StabilityWatch), within a time limit.
//
//   Capture c(settings, now);          // begins now: waiting, or averaging
//   c.add(measurement);                // every measurement delivered, in order
//   c.tick(now);                       // a few times a second: the end, silence, the limit
//   if (c.state() == Capture::State::Done) use(c.reading());
//   if (c.state() == Capture::State::Failed) say(c.failure());
//
// The capture averages the measurements whose time falls in (start,
// start + T]: start is when it began, or the measurement at which the tilt
// was found stable. It is done at the first measurement after the end (so
// none still on its way is missed), and fails when the link was down
// during it, when no measurement came for the gap time (the board was
// silent), or when the tilt was not stable within the limit.

#include "link/Measurement.h"
#include "record/CapturedReading.h"
#include "stats/Stability.h"

#include <chrono>
#include <optional>
#include <string>

namespace plovex::record {

struct CaptureSettings {
    std::chrono::duration<double> seconds{5.0}; // T, > 0
    bool waitStable = false;
    std::chrono::duration<double> waitLimit{60.0};
    stats::StabilitySettings stability;
    // No measurement for this long is silence (the window's "NO Comms").
    std::chrono::duration<double> gap{2.0};
    board::TiltUnit unit = board::TiltUnit::Degrees;
    std::string label;
    // Taken off each angle (the window's zero, as its readouts show the tilt).
    std::optional<double> zeroX, zeroY;
};

class Capture {
public:
    using Clock = stats::StabilityWatch::Clock;
    enum class State { WaitingForStable, Averaging, Done, Failed };

    Capture(CaptureSettings settings, Clock::time_point now);

    void add(const Measurement& m);
    void tick(Clock::time_point now);

    State state() const { return state_; }
    bool finished() const { return state_ == State::Done || state_ == State::Failed; }
    // The reading so far; whole once Done.
    const CapturedReading& reading() const { return reading_; }
    // Why it failed: "the link was down during the capture".
    const std::string& failure() const { return failure_; }
    // While waiting: the stability as last seen.
    const stats::StabilityReading& stability() const { return stability_; }

private:
    void beginAveraging(Clock::time_point start);
    void fail(std::string why);

    const CaptureSettings settings_;
    State state_;
    Clock::time_point begun_;    // when it was asked for
    Clock::time_point lastSeen_; // the last measurement, or the start
    stats::StabilityWatch watch_;
    stats::StabilityReading stability_;
    bool linkDown_ = false; // the last measurement had the link down
    CapturedReading reading_;
    std::string failure_;
};

} // namespace plovex::record
