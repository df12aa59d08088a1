#pragma once
// A whole history reduced to columns of equal time, for looking back at a
// file: the chart's column reduction (ColumnReduction.h: each column keeps
// the minimum, maximum, sum and count of X and Y, and where a line breaks)
// over a span that is not known in advance. Values come in time order; when
// they would need more than maxColumns columns, every two neighbours merge
// into one of twice the width, so the memory stays bounded however long the
// history is, and each column keeps the extremes of every value in it.
//
// Each column also remembers where its first value came from (a position in
// the source: a file's offset and line), so that a narrower span can be
// read again at a finer width: the levels of a zoom.
//
//   SpanReduction r(t0, 0.001, 1 << 17);
//   r.add(t, x, y, {offset, line});        // Extent x, y: one value, or an averaged row's range
//   r.breakLine();                         // the link was down
//   auto pixels = r.toPixels(from, to, 800);

#include "chart/ColumnReduction.h"

#include <cstdint>
#include <optional>
#include <vector>

namespace plovex::chart {

// Where a value came from in its source.
struct SourcePosition {
    uint64_t offset = 0;
    uint64_t line = 0;
};

class SpanReduction {
public:
    // start: the time (seconds) the first column begins at; columnSeconds:
    // the finest width (> 0); maxColumns: at least 2.
    SpanReduction(double start, double columnSeconds, std::size_t maxColumns);

    // Values at t; a t before the last one is taken at the last one's time.
    void add(double t, const Extent& x, const Extent& y, SourcePosition where);
    // The line breaks here: the next value is not joined to the last.
    void breakLine();

    double start() const { return start_; }
    double columnSeconds() const { return columnSeconds_; }
    // The time of the first and of the last value; start() while empty.
    double first() const { return first_; }
    double last() const { return last_; }
    bool empty() const { return values_ == 0; }
    uint64_t values() const { return values_; }
    std::size_t columnCount() const { return columns_.size(); }

    // The columns of [from, to) reduced to pixels columns: a column goes to
    // the pixel its start falls in, so a pixel column keeps the extremes of
    // every column that begins in it. Empty where no value fell.
    std::vector<ColumnPair> toPixels(double from, double to, int pixels) const;
    // Where the first value at or after the start of t's column came from;
    // nullopt when none came from there on.
    std::optional<SourcePosition> positionAt(double t) const;

private:
    struct Column {
        ColumnPair values;
        SourcePosition where; // of its first value
    };
    std::size_t indexOf(double t) const;
    void halve();

    double start_;
    double columnSeconds_;
    std::size_t maxColumns_;
    std::vector<Column> columns_;
    double first_, last_;
    uint64_t values_ = 0;
    bool broken_ = true; // the next value starts a line
};

} // namespace plovex::chart
