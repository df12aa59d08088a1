#pragma once
// Count, mean, standard deviation, minimum and maximum of a run of values,
// kept as they come (Welford's method: no sum of squares to lose precision
// in, however long the run). The one statistics of the project: averaged log
// rows, the stability light and captured readings all take it from here.

#include <cstdint>
#include <limits>

namespace plovex::stats {

class RunningStats {
public:
    void add(double value);
    // This run followed by other's, as if every value had been added here.
    void merge(const RunningStats& other);
    void clear() { *this = RunningStats(); }

    uint64_t count() const { return count_; }
    bool empty() const { return count_ == 0; }
    // NaN when empty.
    double mean() const { return count_ ? mean_ : std::numeric_limits<double>::quiet_NaN(); }
    double min() const { return count_ ? min_ : std::numeric_limits<double>::quiet_NaN(); }
    double max() const { return count_ ? max_ : std::numeric_limits<double>::quiet_NaN(); }
    // The sample standard deviation (divided by count - 1): 0 for a single
    // value, NaN when empty.
    double stddev() const;

private:
    uint64_t count_ = 0;
    double mean_ = 0.0;
    double m2_ = 0.0; // sum of squared differences from the mean
    double min_ = 0.0, max_ = 0.0;
};

} // namespace plovex::stats
