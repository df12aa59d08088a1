#pragma once
// How the monitor turns the board's counts into what it shows. Shared by the
// window's controller and the command-line monitor, so both show the same
// numbers.

#include <cstdint>

namespace plovex {

// Filtered tilt counts to degrees: 90.0 degrees per 16383 counts, linear and
// unclamped, worked in double and rounded once to single precision.
inline float countsToDegrees(int32_t counts)
{
    return static_cast<float>(static_cast<double>(counts) * 90.0 / 16383.0);
}

// The board's temperature, in tenths of a degree, to degrees.
inline float tenthsToDegrees(int32_t tenths)
{
    return static_cast<float>(static_cast<double>(tenths) / 10.0);
}

} // namespace plovex
