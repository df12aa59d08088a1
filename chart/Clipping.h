#pragma once
// A value column of the chart against a fixed range: the part within the
// range is drawn, what lies beyond is marked at the edge it passed, so that
// a value out of range never shows as a flat line along the edge.

namespace plovex::chart {

struct ClippedExtent {
    bool shown = false; // some of the column lies within the range
    double low = 0.0;   // the part within the range (when shown)
    double high = 0.0;
    bool above = false; // some of it lies above the range
    bool below = false; // some of it lies below
};

// The column's values from min to max against the range lo to hi.
ClippedExtent clipToRange(double min, double max, double lo, double hi);

} // namespace plovex::chart
