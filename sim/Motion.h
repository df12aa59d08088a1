#pragma once
// The board's sensor: a slowly tilting body. Each poll advances the motion by
// one step, so the sequence of measurements depends only on the seed and the
// number of polls, never on the clock. A plan (MotionPlan) can instead hold
// the body at a tilt, or sweep its X axis between two angles in a given
// time, so that a limit is crossed on purpose; a sweep goes by the time of
// the polls.
//
// Tilt in counts, 16383 counts = 90 degrees. Each axis is the sum of two slow
// sine waves (periods of thousands and of about a thousand polls) that stay
// within +-52 degrees; the filtered value is that curve, the raw value the
// filtered one plus up to +-40 counts of noise, so both stay inside +-60
// degrees. Gravity is the axis' share of 1 g, at 8192 counts per g, raw with
// up to +-30 counts of noise. Temperature in tenths of a degree: 235 with a
// slow drift of up to +-6 and +-1 of noise. The two trailer bytes carry a
// running frame number.

#include "sim/Random.h"

#include <array>
#include <chrono>
#include <cstdint>
#include <optional>
#include <utility>

namespace plovex::sim {

struct Measurement {
    std::int16_t xGravityRaw = 0, xGravityKal = 0, xRaw = 0, xKal = 0;
    std::int16_t yGravityRaw = 0, yGravityKal = 0, yRaw = 0, yKal = 0;
    std::int16_t temp = 0;
    std::uint16_t trailer = 0;
};

inline constexpr int kCountsPer90Degrees = 16383;
inline constexpr int kGravityCountsPerG = 8192;

// How the body moves. Held and swept angles are what the filtered values
// carry (to the nearest count, within +-90 degrees); the raw values, gravity
// and temperature keep their noise and drift.
struct MotionPlan {
    enum class Kind { Wander, Hold, Sweep };
    Kind kind = Kind::Wander;
    double x = 0, y = 0;     // Hold: the tilt in degrees; Sweep: the Y axis holds y
    double from = 0, to = 0; // Sweep: the X axis goes from, to, from, ... in degrees
    double seconds = 1;      // Sweep: from one end to the other, > 0
};

class Motion {
public:
    explicit Motion(std::uint64_t seed);

    // From the next measurement on; a sweep starts at its from angle.
    void setPlan(const MotionPlan& plan);
    // The next measurement, for a poll answered at now.
    Measurement next(std::chrono::steady_clock::time_point now = {});

    // The 21-byte measurement frame for m: 0xEE, nine values high byte first, trailer.
    static std::array<std::uint8_t, 21> encode(const Measurement& m);

private:
    struct Wave {
        double amplitude; // degrees
        double period;    // steps
        double phase;     // radians
    };
    struct Axis {
        Wave slow, quick;
    };
    double angleAt(const Axis& a) const;
    // The planned angles at now, in degrees.
    std::pair<double, double> plannedAt(std::chrono::steady_clock::time_point now);

    Random noise_;
    Axis x_{}, y_{};
    double tempPeriod_ = 0, tempPhase_ = 0;
    std::uint64_t step_ = 0;
    MotionPlan plan_;
    std::optional<std::chrono::steady_clock::time_point> sweepStart_;
};

} // namespace plovex::sim
