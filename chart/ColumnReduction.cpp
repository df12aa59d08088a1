#include "chart/ColumnReduction.h"

#include <cmath>

namespace plovex::chart {

ColumnReduction::ColumnReduction(double spanSeconds, double gapSeconds)
    : span_(spanSeconds), columnSeconds_(spanSeconds / kColumns), gapSeconds_(gapSeconds), ring_(kColumns)
{
}

int64_t ColumnReduction::columnOf(double t) const
{
    return static_cast<int64_t>(std::floor(t / columnSeconds_));
}

void ColumnReduction::add(double t, float x, float y)
{
    if (t < last_)
        clear();
    const bool gap = broken_ || t - last_ > gapSeconds_;
    last_ = t;
    broken_ = false;
    const int64_t index = columnOf(t);
    Slot& slot = ring_[static_cast<std::size_t>(index % kColumns)];
    if (slot.index != index)
        slot = Slot{index, {}};
    // A gap inside a column is within its stroke: only a column's first
    // value can start a line.
    if (slot.values.x.empty())
        slot.values.gapBefore = gap;
    slot.values.x.add(x);
    slot.values.y.add(y);
}

void ColumnReduction::breakLine()
{
    broken_ = true;
}

void ColumnReduction::clear()
{
    ring_.assign(kColumns, Slot{});
    last_ = -std::numeric_limits<double>::infinity();
    broken_ = true;
}

std::vector<ColumnPair> ColumnReduction::toPixels(double now, int pixels) const
{
    std::vector<ColumnPair> out(static_cast<std::size_t>(pixels > 0 ? pixels : 0));
    if (out.empty())
        return out;
    const int64_t last = columnOf(now);
    const int64_t first = last - kColumns + 1;
    for (int64_t index = first; index <= last; ++index) {
        if (index < 0)
            continue;
        const Slot& slot = ring_[static_cast<std::size_t>(index % kColumns)];
        if (slot.index != index)
            continue; // nothing fell in it, or it was overwritten since
        ColumnPair& pixel = out[static_cast<std::size_t>((index - first) * pixels / kColumns)];
        if (pixel.x.empty())
            pixel.gapBefore = slot.values.gapBefore;
        pixel.x.merge(slot.values.x);
        pixel.y.merge(slot.values.y);
    }
    return out;
}

} // namespace plovex::chart
