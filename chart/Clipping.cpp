#include "chart/Clipping.h"

#include <algorithm>

namespace plovex::chart {

ClippedExtent clipToRange(double min, double max, double lo, double hi)
{
    ClippedExtent c;
    c.above = max > hi;
    c.below = min < lo;
    c.shown = max >= lo && min <= hi;
    if (c.shown) {
        c.low = std::max(min, lo);
        c.high = std::min(max, hi);
    }
    return c;
}

} // namespace plovex::chart
