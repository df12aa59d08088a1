#include "chart/SpanReduction.h"

#include <algorithm>
#include <cmath>

namespace plovex::chart {

namespace {

bool hasValues(const ColumnPair& c)
{
    return !c.x.empty() || !c.y.empty();
}

} // namespace

SpanReduction::SpanReduction(double start, double columnSeconds, std::size_t maxColumns)
    : start_(start), columnSeconds_(columnSeconds > 0 ? columnSeconds : 1.0),
      maxColumns_(std::max<std::size_t>(maxColumns, 2)), first_(start), last_(start)
{
}

std::size_t SpanReduction::indexOf(double t) const
{
    const double i = std::floor((t - start_) / columnSeconds_);
    return i > 0 ? static_cast<std::size_t>(i) : 0;
}

void SpanReduction::add(double t, const Extent& x, const Extent& y, SourcePosition where)
{
    if (values_ > 0 && t < last_)
        t = last_; // the clock went back: the value goes where time stood
    while (indexOf(t) >= maxColumns_)
        halve();
    const std::size_t index = indexOf(t);
    if (index >= columns_.size())
        columns_.resize(index + 1);
    Column& column = columns_[index];
    // A gap inside a column is within its stroke: only a column's first
    // value can start a line.
    if (!hasValues(column.values)) {
        column.values.gapBefore = broken_;
        column.where = where;
    }
    column.values.x.merge(x);
    column.values.y.merge(y);
    if (values_ == 0)
        first_ = t;
    last_ = t;
    ++values_;
    broken_ = false;
}

void SpanReduction::breakLine()
{
    broken_ = true;
}

void SpanReduction::halve()
{
    columnSeconds_ *= 2;
    const std::size_t count = (columns_.size() + 1) / 2;
    for (std::size_t i = 0; i < count; ++i) {
        Column merged = columns_[2 * i];
        if (2 * i + 1 < columns_.size()) {
            const Column& second = columns_[2 * i + 1];
            if (!hasValues(merged.values)) {
                merged = second;
            } else {
                merged.values.x.merge(second.values.x);
                merged.values.y.merge(second.values.y);
            }
        }
        columns_[i] = merged;
    }
    columns_.resize(count);
}

std::vector<ColumnPair> SpanReduction::toPixels(double from, double to, int pixels) const
{
    std::vector<ColumnPair> out(static_cast<std::size_t>(std::max(pixels, 0)));
    if (out.empty() || !(to > from))
        return out;
    const double perPixel = (to - from) / pixels;
    for (std::size_t i = indexOf(from); i < columns_.size(); ++i) {
        const double begins = start_ + static_cast<double>(i) * columnSeconds_;
        if (begins >= to)
            break;
        if (begins + columnSeconds_ <= from || !hasValues(columns_[i].values))
            continue;
        const double p = std::floor((begins - from) / perPixel);
        ColumnPair& pixel = out[static_cast<std::size_t>(std::clamp(p, 0.0, static_cast<double>(pixels - 1)))];
        if (!hasValues(pixel))
            pixel.gapBefore = columns_[i].values.gapBefore;
        pixel.x.merge(columns_[i].values.x);
        pixel.y.merge(columns_[i].values.y);
    }
    return out;
}

std::optional<SourcePosition> SpanReduction::positionAt(double t) const
{
    for (std::size_t i = indexOf(t); i < columns_.size(); ++i)
        if (hasValues(columns_[i].values))
            return columns_[i].where;
    return std::nullopt;
}

} // namespace plovex::chart
