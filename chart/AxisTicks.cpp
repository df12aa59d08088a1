#include "chart/AxisTicks.h"

#include <cmath>

namespace plovex::chart {

namespace {

// The steps a clock reads well, in seconds.
constexpr double kTimeSteps[] = {1, 2, 5, 10, 15, 30, 60, 120, 300, 600, 900, 1800, 3600, 7200, 21600, 43200, 86400};

} // namespace

double valueTickStep(double range, double pixels, double minSpacing)
{
    if (!(range > 0) || !std::isfinite(range) || !(pixels > 0))
        return 1.0;
    // The ticks that fit, at most; the step is the range over them, rounded up to 1, 2 or 5.
    const double fit = std::max(1.0, std::floor(pixels / std::max(1.0, minSpacing)));
    const double rough = range / fit;
    const double power = std::pow(10.0, std::floor(std::log10(rough)));
    for (const double m : {1.0, 2.0, 5.0, 10.0})
        if (m * power >= rough * (1 - 1e-9))
            return m * power;
    return 10.0 * power;
}

int decimalsForStep(double step)
{
    if (!(step > 0) || !std::isfinite(step))
        return 0;
    // The step has at most one significant digit: 10^-d is the digit's place.
    const int d = static_cast<int>(std::ceil(-std::log10(step) - 1e-9));
    return d > 0 ? d : 0;
}

double timeTickStep(double spanSeconds, double pixels, double minSpacing)
{
    const double perSecond = pixels / spanSeconds;
    for (const double step : kTimeSteps)
        if (step * perSecond >= minSpacing)
            return step;
    return kTimeSteps[std::size(kTimeSteps) - 1];
}

std::vector<double> ticksWithin(double lo, double hi, double step, double offset)
{
    std::vector<double> ticks;
    if (!(step > 0) || !(lo <= hi) || !std::isfinite(lo) || !std::isfinite(hi) || (hi - lo) / step > 1000)
        return ticks;
    // A little slack, so that a tick that falls on an end by arithmetic stays in.
    const double slack = step * 1e-9;
    for (double n = std::ceil((lo + offset - slack) / step); n * step - offset <= hi + slack; n += 1)
        ticks.push_back(n * step - offset);
    return ticks;
}

} // namespace plovex::chart
