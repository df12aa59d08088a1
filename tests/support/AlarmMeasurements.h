#pragma once
// Measurements for the alarm suites, timed in seconds from a fixed start.

#include "link/Measurement.h"

#include <cmath>

namespace testsupport {

inline const platform::RecordTime kT0{std::chrono::hours(24 * 365 * 56)}; // 2025-12-18 UTC

inline platform::RecordTime at(double seconds)
{
    return kT0 + std::chrono::duration_cast<platform::RecordTime::duration>(std::chrono::duration<double>(seconds));
}

inline int32_t counts(double degrees) { return static_cast<int32_t>(std::lround(degrees * 16383.0 / 90.0)); }

// A measurement with the link up at t, of x and y degrees and tempC.
inline plovex::Measurement tiltAt(double t, double x, double y, double tempC)
{
    plovex::Measurement m;
    m.time = at(t);
    m.linkUp = true;
    m.raw[plovex::Measurement::kXKal] = counts(x);
    m.raw[plovex::Measurement::kYKal] = counts(y);
    m.raw[plovex::Measurement::kTemp] = static_cast<int32_t>(std::lround(tempC * 10));
    return m;
}

} // namespace testsupport
