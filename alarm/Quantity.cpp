#include "alarm/Quantity.h"

#include "link/TotalTilt.h"

#include <cmath>
#include <limits>

namespace plovex::alarm {

namespace {

struct AngleName {
    std::string_view prefix;
    Measure measure;
};
constexpr AngleName kAngles[] = {{"x_", Measure::XAngle}, {"y_", Measure::YAngle}, {"tilt_", Measure::TotalTilt}};
constexpr std::string_view kTemperature = "temp_c";
constexpr std::string_view kSilence = "silent";

// The angle less its zero, worked as the window's readout works it.
double zeroed(float degrees, std::optional<float> zero)
{
    return zero ? static_cast<double>(degrees - *zero) : static_cast<double>(degrees);
}

double inUnit(board::TiltUnit unit, double degrees)
{
    const double v = board::fromDegrees(unit, degrees);
    if (std::isnan(v))
        return std::copysign(std::numeric_limits<double>::infinity(), degrees);
    return v;
}

} // namespace

std::string quantityName(Quantity q)
{
    switch (q.measure) {
    case Measure::Temperature: return std::string(kTemperature);
    case Measure::Silence: return std::string(kSilence);
    default: break;
    }
    for (const auto& a : kAngles)
        if (a.measure == q.measure)
            return std::string(a.prefix) + std::string(board::tiltUnitSuffix(q.unit));
    return {};
}

std::optional<Quantity> parseQuantity(std::string_view name)
{
    if (name == kTemperature)
        return Quantity{Measure::Temperature};
    if (name == kSilence)
        return Quantity{Measure::Silence};
    for (const auto& a : kAngles) {
        if (name.substr(0, a.prefix.size()) != a.prefix)
            continue;
        for (const board::TiltUnit u : board::kTiltUnits)
            if (name.substr(a.prefix.size()) == board::tiltUnitSuffix(u))
                return Quantity{a.measure, u};
    }
    return std::nullopt;
}

std::string quantityNamesHelp()
{
    return "x_UNIT, y_UNIT, tilt_UNIT (UNIT deg, mrad, percent or mm_per_m), temp_c or silent";
}

int valueDecimals(Quantity q)
{
    switch (q.measure) {
    case Measure::Temperature: return 1;
    case Measure::Silence: return 3;
    default: return board::tiltUnitRecordDecimals(q.unit);
    }
}

double valueOf(Quantity q, const Measurement& m, const Zero& zero)
{
    const float x = static_cast<float>(m.xDegrees()), y = static_cast<float>(m.yDegrees());
    switch (q.measure) {
    case Measure::XAngle: return inUnit(q.unit, zeroed(x, zero.x));
    case Measure::YAngle: return inUnit(q.unit, zeroed(y, zero.y));
    case Measure::TotalTilt: return inUnit(q.unit, board::totalTiltDegrees(zeroed(x, zero.x), zeroed(y, zero.y)));
    // In double from the tenths, so that a reading equal to a limit such as
    // 60.1 is equal to it, not a float's rounding off it.
    case Measure::Temperature: return static_cast<double>(m.raw[Measurement::kTemp]) / 10.0;
    case Measure::Silence: break;
    }
    return std::numeric_limits<double>::quiet_NaN();
}

} // namespace plovex::alarm
