#include "controller/TiltReference.h"

#include "link/BoardFacts.h"
#include "platform/Preferences.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace plovex {

namespace {

std::optional<float> readZero(const platform::Preferences& prefs, const char* key)
{
    const auto text = prefs.objectForKey(key);
    if (!text || text->empty())
        return std::nullopt;
    char* end = nullptr;
    const float v = std::strtof(text->c_str(), &end);
    if (end == text->c_str() || *end != '\0' || !std::isfinite(v))
        return std::nullopt;
    return v;
}

std::string zeroText(std::optional<float> zero)
{
    if (!zero)
        return {};
    char text[32];
    std::snprintf(text, sizeof text, "%.9g", static_cast<double>(*zero)); // the float exactly
    return text;
}

} // namespace

void TiltReference::load(const platform::Preferences& prefs)
{
    zeroX_ = readZero(prefs, board::kPrefZeroX);
    zeroY_ = readZero(prefs, board::kPrefZeroY);
    const auto unit = prefs.objectForKey(board::kPrefTiltUnit);
    unit_ = unit ? board::parseTiltUnit(*unit).value_or(board::TiltUnit::Degrees) : board::TiltUnit::Degrees;
}

void TiltReference::saveZero(platform::Preferences& prefs) const
{
    prefs.setObject(zeroText(zeroX_), board::kPrefZeroX);
    prefs.setObject(zeroText(zeroY_), board::kPrefZeroY);
    prefs.synchronize(); // a failure is reported by the store itself
}

void TiltReference::saveUnit(platform::Preferences& prefs) const
{
    prefs.setObject(std::string(board::tiltUnitName(unit_)), board::kPrefTiltUnit);
    prefs.synchronize();
}

float TiltReference::zeroed(Axis axis, float measuredDegrees) const
{
    const auto z = zero(axis);
    return z ? measuredDegrees - *z : measuredDegrees;
}

float TiltReference::shown(Axis axis, float measuredDegrees) const
{
    const float deg = zeroed(axis, measuredDegrees);
    if (unit_ == board::TiltUnit::Degrees)
        return deg;
    return static_cast<float>(board::fromDegrees(unit_, deg));
}

std::string TiltReference::describeZero(Axis axis) const
{
    const auto z = zero(axis);
    if (!z)
        return {};
    char text[64];
    std::snprintf(text, sizeof text, "%s zeroed at %.2f°", axis == Axis::X ? "X" : "Y", static_cast<double>(*z));
    return text;
}

} // namespace plovex
