#pragma once
// The span of time the chart shows of a file: all of it at first, zoomed
// about a point (the wheel under the cursor, keys about the middle) and
// panned (a drag, arrow keys), never beyond the file's ends and never
// narrower than the narrowest span given (a few rows across the chart).

namespace plovex::chart {

class ViewSpan {
public:
    // The file's first and last time; narrowest > 0.
    ViewSpan(double first, double last, double narrowest);

    double from() const { return from_; }
    double to() const { return to_; }
    double width() const { return to_ - from_; }
    bool showsAll() const { return from_ <= first_ && to_ >= last_; }

    // Scales the span by factor (below 1 zooms in) keeping the time at
    // `about` where it is on the chart.
    void zoom(double factor, double about);
    // Moves the span by seconds (positive: later), stopping at the ends.
    void pan(double seconds);
    void showAll();

private:
    void keepWithin();

    double first_, last_, narrowest_;
    double from_, to_;
};

} // namespace plovex::chart
