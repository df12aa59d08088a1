#pragma once
// The units a tilt angle can be shown and recorded in, and the one
// conversion from degrees (the board's angle, BoardFacts.h) to each. The
// window's readouts, its chart and its recordings and plovex-cli monitor all
// take them from here.

#include <cmath>
#include <optional>
#include <string>
#include <string_view>

namespace plovex::board {

enum class TiltUnit { Degrees, Milliradians, Percent, MmPerM };

inline constexpr TiltUnit kTiltUnits[] = {TiltUnit::Degrees, TiltUnit::Milliradians, TiltUnit::Percent,
                                          TiltUnit::MmPerM};

// The unit's name on the command line and in the preferences.
inline constexpr std::string_view tiltUnitName(TiltUnit u)
{
    switch (u) {
    case TiltUnit::Degrees: return "deg";
    case TiltUnit::Milliradians: return "mrad";
    case TiltUnit::Percent: return "percent";
    case TiltUnit::MmPerM: return "mm-per-m";
    }
    return "deg";
}

inline std::optional<TiltUnit> parseTiltUnit(std::string_view name)
{
    for (const TiltUnit u : kTiltUnits)
        if (tiltUnitName(u) == name)
            return u;
    return std::nullopt;
}

// What a column or field name carries after "x_" or "y_": x_deg, x_mrad, x_percent, x_mm_per_m.
inline constexpr std::string_view tiltUnitSuffix(TiltUnit u)
{
    return u == TiltUnit::MmPerM ? "mm_per_m" : tiltUnitName(u);
}

// What follows a number on screen: "12.34°", "215.4 mrad", "21.57 %", "215.7 mm/m".
inline constexpr std::string_view tiltUnitSymbol(TiltUnit u)
{
    switch (u) {
    case TiltUnit::Degrees: return "°";
    case TiltUnit::Milliradians: return " mrad";
    case TiltUnit::Percent: return " %";
    case TiltUnit::MmPerM: return " mm/m";
    }
    return "°";
}

// Decimals on screen, about one count of the board (0.0055°) each.
inline constexpr int tiltUnitDecimals(TiltUnit u)
{
    return u == TiltUnit::Degrees || u == TiltUnit::Percent ? 2 : 1;
}

// Decimals in recordings and machine-readable output: finer than one count.
inline constexpr int tiltUnitRecordDecimals(TiltUnit u)
{
    return u == TiltUnit::Degrees || u == TiltUnit::Percent ? 4 : 3;
}

// degrees in the unit. A grade (percent, mm/m) is 100 or 1000 times the
// tangent, which no angle of 90 degrees or more from level has: NaN there.
inline double fromDegrees(TiltUnit u, double degrees)
{
    constexpr double kPi = 3.14159265358979323846;
    const double radians = degrees * kPi / 180.0;
    switch (u) {
    case TiltUnit::Degrees: return degrees;
    case TiltUnit::Milliradians: return radians * 1000.0;
    case TiltUnit::Percent:
    case TiltUnit::MmPerM:
        if (!(std::fabs(degrees) < 90.0))
            return std::nan("");
        return std::tan(radians) * (u == TiltUnit::Percent ? 100.0 : 1000.0);
    }
    return degrees;
}

// The other way: a value in the unit as degrees (a grade's angle from level).
inline double toDegrees(TiltUnit u, double value)
{
    constexpr double kPi = 3.14159265358979323846;
    switch (u) {
    case TiltUnit::Degrees: return value;
    case TiltUnit::Milliradians: return value / 1000.0 * 180.0 / kPi;
    case TiltUnit::Percent: return std::atan(value / 100.0) * 180.0 / kPi;
    case TiltUnit::MmPerM: return std::atan(value / 1000.0) * 180.0 / kPi;
    }
    return value;
}

} // namespace plovex::board
