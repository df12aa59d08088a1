#include "stats/RunningStats.h"

#include <algorithm>
#include <cmath>

namespace plovex::stats {

void RunningStats::add(double value)
{
    if (count_ == 0) {
        min_ = max_ = value;
    } else {
        min_ = std::min(min_, value);
        max_ = std::max(max_, value);
    }
    ++count_;
    const double delta = value - mean_;
    mean_ += delta / static_cast<double>(count_);
    m2_ += delta * (value - mean_);
}

void RunningStats::merge(const RunningStats& other)
{
    if (other.count_ == 0)
        return;
    if (count_ == 0) {
        *this = other;
        return;
    }
    const double n = static_cast<double>(count_), m = static_cast<double>(other.count_);
    const double delta = other.mean_ - mean_;
    mean_ += delta * m / (n + m);
    m2_ += other.m2_ + delta * delta * n * m / (n + m);
    count_ += other.count_;
    min_ = std::min(min_, other.min_);
    max_ = std::max(max_, other.max_);
}

double RunningStats::stddev() const
{
    if (count_ == 0)
        return std::numeric_limits<double>::quiet_NaN();
    if (count_ == 1)
        return 0.0;
    return std::sqrt(std::max(0.0, m2_) / static_cast<double>(count_ - 1));
}

} // namespace plovex::stats
