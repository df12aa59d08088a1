#pragma once
// The history behind the chart, bounded whatever the span: time is cut into
// a fixed number of columns, each keeping the minimum, maximum, sum and
// count of the X and Y values that fell in it. A ring of kColumns columns
// covers the span; older values drop out as time moves on. Drawing reduces
// the columns again to the pixel columns of the widget, keeping each pixel
// column's minimum and maximum, so a one-record spike always shows.
//
// The reduction also keeps where the line breaks: a value that follows a
// break (the link was down) or comes more than the gap time after the one
// before (the board was silent) is not joined to what came before it.

#include <chrono>
#include <cstdint>
#include <limits>
#include <vector>

namespace plovex::chart {

struct Extent {
    float min = std::numeric_limits<float>::infinity();
    float max = -std::numeric_limits<float>::infinity();
    double sum = 0.0;
    uint32_t count = 0;

    bool empty() const { return count == 0; }
    void add(float v)
    {
        min = v < min ? v : min;
        max = v > max ? v : max;
        sum += v;
        ++count;
    }
    void merge(const Extent& o)
    {
        min = o.min < min ? o.min : min;
        max = o.max > max ? o.max : max;
        sum += o.sum;
        count += o.count;
    }
};

struct ColumnPair {
    Extent x, y;
    // The column's first value is not joined to the values before it.
    bool gapBefore = false;
};

class ColumnReduction {
public:
    static constexpr int kColumns = 1024;

    // gapSeconds: values further apart than this are not joined.
    ColumnReduction(double spanSeconds, double gapSeconds);

    // A value pair at time t, in seconds. A t before the last one (the clock
    // was set back) starts the history afresh.
    void add(double t, float x, float y);
    // The line breaks here: the next value is not joined to the last.
    void breakLine();
    // Forgets every value.
    void clear();

    double span() const { return span_; }

    // The values of (now - span, now] reduced to pixels columns, oldest
    // first; a column without values is empty.
    std::vector<ColumnPair> toPixels(double now, int pixels) const;

private:
    struct Slot {
        int64_t index = -1; // which column of time the slot holds
        ColumnPair values;
    };
    int64_t columnOf(double t) const;

    double span_;
    double columnSeconds_;
    double gapSeconds_;
    std::vector<Slot> ring_;
    double last_ = -std::numeric_limits<double>::infinity(); // the time of the last value
    bool broken_ = true;                                       // the next value starts a line
};

} // namespace plovex::chart
