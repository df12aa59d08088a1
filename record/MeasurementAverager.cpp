#include "record/MeasurementAverager.h"

namespace plovex::record {

MeasurementAverager::MeasurementAverager(Clock::duration interval, board::TiltUnit unit, Clock::time_point start,
                                         stats::IntervalAverager::Sink sink)
    : unit_(unit), quantities_(averagedQuantities(unit)), values_(quantities_.size()),
      averager_(interval, quantities_.size(), start, std::move(sink))
{
}

void MeasurementAverager::add(const Measurement& m)
{
    if (m.linkUp)
        for (std::size_t i = 0; i < quantities_.size(); ++i)
            values_[i] = quantities_[i].value(m, unit_);
    averager_.add(m.time, m.linkUp, values_);
}

} // namespace plovex::record
