#pragma once
// Measurements averaged over aligned intervals, into the summaries an
// averaged row is made of (AveragedRow.h): plovex-cli log --average and
// monitor --average both take their rows from here.
//
//   MeasurementAverager a(1s, unit, now, [](const stats::IntervalSummary& s) { ... });
//   a.add(measurement);   // its time places it; a link-down record counts as down time
//   a.closeUntil(now);    // a few times a second
//   a.finish(now);        // at the end

#include "link/Measurement.h"
#include "record/AveragedRow.h"
#include "stats/IntervalAverager.h"

#include <vector>

namespace plovex::record {

class MeasurementAverager {
public:
    using Clock = stats::IntervalAverager::Clock;

    MeasurementAverager(Clock::duration interval, board::TiltUnit unit, Clock::time_point start,
                        stats::IntervalAverager::Sink sink);

    void add(const Measurement& m);
    void closeUntil(Clock::time_point now) { averager_.closeUntil(now); }
    void finish(Clock::time_point now) { averager_.finish(now); }

private:
    const std::vector<DerivedField> fields_;
    std::vector<double> values_;
    stats::IntervalAverager averager_;
};

} // namespace plovex::record
