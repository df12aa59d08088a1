#pragma once
// Statistics of a stream of samples over fixed intervals aligned to
// multiples of their length in UTC (with 1 s: every whole second; with 60 s:
// every whole minute), and the fraction of each interval the link was up.
// Averaged log rows and plovex-cli monitor --average take their numbers from
// here.
//
//   IntervalAverager a(1s, 3, now, [](const IntervalSummary& s) { write(s); });
//   a.add(t, true, {x, y, temp});   // a sample; may complete earlier intervals
//   a.closeUntil(now);              // a few times a second: intervals long over
//   a.finish(now);                  // the interval running now, as far as it got
//
// Every interval gives one summary, also one with no sample (count 0, every
// series empty): silence is reported, not skipped. The first interval runs
// from the averager's start to the next boundary, the last one to finish(),
// so that length and link-up fraction speak of the time the averager saw.
//
// The link counts as up from a sample with the link up until the next sample,
// but at most kUpHold after it: a board that falls silent stops counting as up
// once a reply is overdue by the line's timeout. A sample with the link down
// starts down time; before the first sample the link counts as down.
//
// Times are expected in order. A sample that comes after its interval was
// closed (delivery held up past kCloseDelay) is counted in the open interval.
// A clock stepped back by more than kClockStepTolerance starts the intervals
// afresh at the new time; one stepped forward past more than kMaxEmptyIntervals
// whole intervals gives a single empty summary over the gap, not one per
// interval.

#include "stats/RunningStats.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <span>
#include <vector>

namespace plovex::stats {

struct IntervalSummary {
    using Clock = std::chrono::system_clock;

    Clock::time_point start;  // the interval's start (the averager's start for the first)
    Clock::duration length{}; // how long it ran
    uint64_t count = 0;       // samples with the link up
    std::vector<RunningStats> series; // one per series, of the samples with the link up
    double linkUp = 0.0;      // the fraction of the length the link was up, 0..1
};

class IntervalAverager {
public:
    using Clock = IntervalSummary::Clock;
    using Sink = std::function<void(const IntervalSummary&)>;

    static constexpr std::chrono::seconds kUpHold{1};
    static constexpr std::chrono::milliseconds kCloseDelay{500};
    static constexpr std::chrono::seconds kClockStepTolerance{5};
    static constexpr int64_t kMaxEmptyIntervals = 3600;

    // interval > 0; series: how many values each sample carries; sink: called
    // with each summary, in order, from the call that completed it.
    IntervalAverager(Clock::duration interval, std::size_t series, Clock::time_point start, Sink sink);

    // A sample at time t. With the link up, values holds one value per series
    // (a NaN is left out of its series: a value the sample does not have);
    // with it down, values is ignored.
    void add(Clock::time_point t, bool linkUp, std::span<const double> values);
    // Closes the intervals that ended kCloseDelay or more before now: what a
    // silent link leaves open.
    void closeUntil(Clock::time_point now);
    // Closes every interval up to now, the running one with the part up to
    // now (none when it has not begun).
    void finish(Clock::time_point now);

    Clock::duration interval() const { return interval_; }

private:
    Clock::time_point alignedStart(Clock::time_point t) const;
    // Makes the open interval the one t falls in, closing those before it.
    void moveTo(Clock::time_point t);
    // Counts link-up time up to t (not past the open interval's end).
    void accountTo(Clock::time_point t);
    // Ends the open interval at end and opens the next one, [end, next boundary).
    void close(Clock::time_point end);
    void restartAt(Clock::time_point t);

    const Clock::duration interval_;
    const std::size_t seriesCount_;
    Sink sink_;

    Clock::time_point start_, end_; // the open interval
    Clock::time_point accounted_;   // link-up time is counted up to here
    Clock::duration upTime_{};
    uint64_t count_ = 0;
    std::vector<RunningStats> series_;
    bool linkUp_ = false;
    Clock::time_point lastUpAt_;
};

} // namespace plovex::stats
