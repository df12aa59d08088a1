// plovex-cli monitor --influx: every reading (or with --average every
// interval) written to a time-series database, as the line --format influx
// prints for it (InfluxLine.h). The writer sends from a thread of its own
// (InfluxDatabase.h); this side only queues.

#include "cli/InfluxDatabase.h"
#include "cli/InfluxLine.h"
#include "cli/MonitorOutput.h"

namespace plovex::cli {

namespace {

class DatabaseOutput final : public MonitorOutput {
public:
    explicit DatabaseOutput(const MonitorSetup& setup)
        : lines_(setup.portName, setup.fleet.tags, setup.fields, setup.unit), database_(setup.command, *setup.influx)
    {
    }

    void measurement(const Measurement& m) override { database_.write(lines_.line(m), m.time); }
    void parameter(const ParameterReading& p) override { database_.write(lines_.line(p), p.time); }
    void interval(const stats::IntervalSummary& s) override { database_.write(lines_.line(s), s.start); }
    bool failed() const override { return database_.failed(); }
    // Sends what is left (a few seconds at most).
    int finish() override { return database_.finish(); }

private:
    InfluxLines lines_;
    InfluxDatabase database_;
};

} // namespace

std::unique_ptr<MonitorOutput> makeDatabaseOutput(const MonitorSetup& setup)
{
    return setup.influx ? std::make_unique<DatabaseOutput>(setup) : nullptr;
}

} // namespace plovex::cli
