#pragma once
// Statistics of the values of the last span of time: the stability light's
// spread over the last N seconds. Values older than the span leave as newer
// ones come; the statistics are worked out afresh from what is held when
// asked, so nothing drifts however long it runs.

#include "stats/RunningStats.h"

#include <chrono>
#include <deque>

namespace plovex::stats {

class WindowStats {
public:
    using Clock = std::chrono::system_clock;

    explicit WindowStats(std::chrono::duration<double> span) : span_(span) {}

    void setSpan(std::chrono::duration<double> span);
    std::chrono::duration<double> span() const { return span_; }
    // A value at time t; times are expected in order (an older one is kept,
    // but leaves by its own time).
    void add(Clock::time_point t, double value);
    // Forgets every value (a gap in the data: the window starts afresh).
    void clear() { values_.clear(); }
    // The values of (now - span, now].
    RunningStats at(Clock::time_point now);
    // How much of the span the values held cover: from the oldest to now.
    std::chrono::duration<double> covered(Clock::time_point now) const;

private:
    void trim(Clock::time_point now);

    std::chrono::duration<double> span_;
    std::deque<std::pair<Clock::time_point, double>> values_;
};

} // namespace plovex::stats
