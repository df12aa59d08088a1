#include "stats/Stability.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace plovex::stats {

namespace {

double positiveOr(const std::optional<std::string>& text, double fallback)
{
    if (!text || text->empty())
        return fallback;
    char* end = nullptr;
    const double v = std::strtod(text->c_str(), &end);
    return end != text->c_str() && *end == '\0' && std::isfinite(v) && v > 0 ? v : fallback;
}

std::chrono::duration<double> spanOf(const StabilitySettings& s)
{
    return std::chrono::duration<double>(s.seconds);
}

std::string decimals(double v, int places)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.*f", places, v);
    return text;
}

// Seconds as a person writes them: "2", "0.5", "1.25".
std::string seconds(double s)
{
    char text[32];
    std::snprintf(text, sizeof text, "%g", s);
    return text;
}

} // namespace

std::string describe(const StabilityReading& r, const StabilitySettings& s)
{
    const std::string state = r.stable ? "stable (" : "not stable (";
    if (r.settled.count() < s.seconds)
        return state + decimals(r.settled.count(), 1) + " s of " + seconds(s.seconds) + " s since a gap)";
    return state + "spread X " + decimals(r.spreadX, 4) + "°, Y " + decimals(r.spreadY, 4) + "° over " +
           seconds(s.seconds) + " s)";
}

StabilitySettings StabilitySettings::fromText(const std::optional<std::string>& seconds,
                                              const std::optional<std::string>& spreadDegrees)
{
    return {positiveOr(seconds, kDefaultSeconds), positiveOr(spreadDegrees, kDefaultSpread)};
}

StabilityWatch::StabilityWatch(StabilitySettings settings, std::chrono::duration<double> gap)
    : settings_(settings), gap_(gap), x_(spanOf(settings)), y_(spanOf(settings))
{
}

void StabilityWatch::setSettings(StabilitySettings settings)
{
    settings_ = settings;
    x_.setSpan(spanOf(settings));
    y_.setSpan(spanOf(settings));
    breakOff();
}

void StabilityWatch::add(Clock::time_point t, double xDegrees, double yDegrees)
{
    if (since_ && t - last_ > gap_)
        breakOff(); // the board was silent
    if (!since_)
        since_ = t;
    last_ = t;
    x_.add(t, xDegrees);
    y_.add(t, yDegrees);
}

void StabilityWatch::breakOff()
{
    x_.clear();
    y_.clear();
    since_.reset();
}

StabilityReading StabilityWatch::at(Clock::time_point now)
{
    StabilityReading r;
    if (since_ && now - last_ > gap_)
        breakOff(); // silent since
    if (!since_) {
        r.spreadX = r.spreadY = std::nan("");
        return r;
    }
    const auto span = spanOf(settings_);
    r.settled = std::min<std::chrono::duration<double>>(now - *since_, span);
    const RunningStats x = x_.at(now), y = y_.at(now);
    r.spreadX = x.stddev();
    r.spreadY = y.stddev();
    // One value has no spread to speak of: it takes two.
    r.stable = now - *since_ >= span && x.count() > 1 && r.spreadX < settings_.spreadDegrees &&
               r.spreadY < settings_.spreadDegrees;
    return r;
}

} // namespace plovex::stats
