#include "stats/Stability.h"

#include <algorithm>
#include <cmath>
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

} // namespace

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
