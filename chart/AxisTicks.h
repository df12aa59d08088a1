#pragma once
// Where the chart's axes have their ticks: on the value axis at 1, 2 or 5
// times a power of ten, on the time axis at the steps a clock reads well
// (1, 2, 5, 10, 15, 30 s, 1, 2, 5, 10, 15, 30 min, 1 h, ...), each step the
// smallest that keeps the labels apart. Plain arithmetic, no drawing.

#include <vector>

namespace plovex::chart {

// The step of value ticks on an axis `pixels` long showing `range` units:
// the smallest 1, 2 or 5 times a power of ten that puts the ticks at least
// minSpacing pixels apart. 1 for a range that is not positive.
double valueTickStep(double range, double pixels, double minSpacing);

// The decimals that tell ticks step apart: 0 for whole steps, 1 for 0.5, 2 for 0.02, ...
int decimalsForStep(double step);

// The step of time ticks, in seconds, for a span of spanSeconds over
// `pixels`: the smallest of the clock's steps that puts the ticks at least
// minSpacing pixels apart.
double timeTickStep(double spanSeconds, double pixels, double minSpacing);

// The multiples of step from lo to hi, both included, lowest first. A tick
// of offset shifts them: ticks stand where t + offset is a multiple of step
// (a time zone's offset from UTC, so that minutes fall on local minutes).
std::vector<double> ticksWithin(double lo, double hi, double step, double offset = 0.0);

} // namespace plovex::chart
