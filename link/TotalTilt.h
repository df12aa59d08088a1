#pragma once
// The total tilt of the board: the angle of its plane from level, from the
// tilts of both axes. For tilts a about X and b about Y the plane's normal is
// (tan a, tan b, 1) up to its length, so it makes the angle
// acos(1 / sqrt(1 + tan²a + tan²b)) with the vertical, which is the angle of
// the plane from level. Always 0 to 90 degrees.

#include <cmath>

namespace plovex::board {

inline double totalTiltDegrees(double xDegrees, double yDegrees)
{
    constexpr double kPi = 3.14159265358979323846;
    // An axis at 90 degrees or beyond stands the plane on its edge.
    if (!(std::fabs(xDegrees) < 90.0) || !(std::fabs(yDegrees) < 90.0))
        return 90.0;
    const double tx = std::tan(xDegrees * kPi / 180.0), ty = std::tan(yDegrees * kPi / 180.0);
    // atan of the normal's slope, sqrt(tx² + ty²), is the same angle as the
    // acos above, and keeps its precision near level where acos loses it.
    return std::atan(std::hypot(tx, ty)) * 180.0 / kPi;
}

} // namespace plovex::board
