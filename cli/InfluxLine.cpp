#include "cli/InfluxLine.h"

#include "cli/RecordEntries.h"
#include "record/AveragedRow.h"

#include <chrono>

namespace plovex::cli {

InfluxLines::InfluxLines(std::string portName, const fleet::Tags& tags, std::vector<record::DerivedField> fields,
                         board::TiltUnit unit)
    : fields_(std::move(fields)), unit_(unit)
{
    tags_.reserve(tags.size() + 2);
    tags_.emplace_back("type", "");
    tags_.emplace_back("port", std::move(portName));
    tags_.insert(tags_.end(), tags.begin(), tags.end());
}

std::string InfluxLines::line(const Measurement& m)
{
    fleet::FloatFields floats;
    floats.reserve(fields_.size());
    for (const auto& f : fields_)
        floats.emplace_back(f.name, f.text(m));
    return make("measurement", entriesOf(m, Placeholders::LeaveOut), floats, m.time);
}

std::string InfluxLines::line(const ParameterReading& p)
{
    return make("parameter", entriesOf(p, Placeholders::LeaveOut), {}, p.time);
}

std::string InfluxLines::line(const stats::IntervalSummary& s)
{
    auto cells = record::averagedCells(s, unit_);
    cells.erase(cells.begin(), cells.begin() + 1); // the time
    cells.erase(cells.begin() + 1);                // the count
    return make("interval", {{"count", static_cast<int64_t>(s.count)}}, cells, s.start);
}

std::string InfluxLines::make(const char* type, const fleet::IntegerFields& integers, const fleet::FloatFields& floats,
                              platform::RecordTime time)
{
    tags_.front().second = type;
    const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(time.time_since_epoch()).count();
    return fleet::influxLine(tags_, integers, floats, ns);
}

} // namespace plovex::cli
