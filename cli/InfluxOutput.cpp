// plovex-cli monitor --format influx: InfluxDB line protocol on standard
// output (fleet/LineProtocol.h), measurement "plovex", tags type, port (its
// stable name) and --tag, the record's entries as integer fields and a
// measurement's derived fields as float fields, stamped with the time of
// the reading in nanoseconds. What a link-down cycle only fills in is left
// out, so that no placeholder is stored as a reading: a link-down
// measurement keeps packetCount and commState, its parameter record
// paddress alone. With --average an interval is a line of type interval.

#include "cli/CommandSupport.h"
#include "cli/MonitorOutput.h"
#include "cli/RecordEntries.h"
#include "record/AveragedRow.h"

#include <chrono>

namespace plovex::cli {

namespace {

class InfluxOutput final : public MonitorOutput {
public:
    explicit InfluxOutput(const MonitorSetup& setup) : fields_(setup.fields), unit_(setup.unit)
    {
        tags_.emplace_back("type", "");
        tags_.emplace_back("port", setup.portName);
        tags_.insert(tags_.end(), setup.fleet.tags.begin(), setup.fleet.tags.end());
    }

    void measurement(const Measurement& m) override
    {
        fleet::FloatFields floats;
        for (const auto& f : fields_)
            floats.emplace_back(f.name, f.text(m));
        write("measurement", entriesOf(m, Placeholders::LeaveOut), floats, m.time);
    }

    void parameter(const ParameterReading& p) override
    {
        write("parameter", entriesOf(p, Placeholders::LeaveOut), {}, p.time);
    }

    // count the integer field, the averaged row's other figures float
    // fields, the interval's start the time.
    void interval(const stats::IntervalSummary& s) override
    {
        auto cells = record::averagedCells(s, unit_);
        cells.erase(cells.begin(), cells.begin() + 1); // the time
        cells.erase(cells.begin() + 1);                // the count
        write("interval", {{"count", static_cast<int64_t>(s.count)}}, cells, s.start);
    }

private:
    void write(const char* type, const Entries& integers, const fleet::FloatFields& floats,
               platform::RecordTime time)
    {
        tags_.front().second = type;
        const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(time.time_since_epoch()).count();
        writeOut(fleet::influxLine(tags_, integers, floats, ns));
    }

    std::vector<record::DerivedField> fields_;
    board::TiltUnit unit_;
    fleet::Tags tags_; // type first, then port, then the user's
};

} // namespace

std::unique_ptr<MonitorOutput> makeInfluxOutput(const MonitorSetup& setup)
{
    return setup.format == OutputFormat::Influx ? std::make_unique<InfluxOutput>(setup) : nullptr;
}

} // namespace plovex::cli
