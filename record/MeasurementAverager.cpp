#include "record/MeasurementAverager.h"

namespace plovex::record {

MeasurementAverager::MeasurementAverager(Clock::duration interval, board::TiltUnit unit, Clock::time_point start,
                                         stats::IntervalAverager::Sink sink)
    : fields_(averagedFields(unit)), values_(fields_.size()), averager_(interval, fields_.size(), start, std::move(sink))
{
}

void MeasurementAverager::add(const Measurement& m)
{
    if (m.linkUp)
        for (std::size_t i = 0; i < fields_.size(); ++i)
            values_[i] = fields_[i].value(m);
    averager_.add(m.time, m.linkUp, values_);
}

} // namespace plovex::record
