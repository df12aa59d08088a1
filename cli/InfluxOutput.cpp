// plovex-cli monitor --format influx: every reading, or with --average every
// interval, as its line of InfluxDB line protocol (InfluxLine.h) on standard
// output.

#include "cli/CommandSupport.h"
#include "cli/InfluxLine.h"
#include "cli/MonitorOutput.h"

namespace plovex::cli {

namespace {

class InfluxOutput final : public MonitorOutput {
public:
    explicit InfluxOutput(const MonitorSetup& setup)
        : lines_(setup.portName, setup.fleet.tags, setup.fields, setup.unit)
    {
    }

    void measurement(const Measurement& m) override { writeOut(lines_.line(m)); }
    void parameter(const ParameterReading& p) override { writeOut(lines_.line(p)); }
    void interval(const stats::IntervalSummary& s) override { writeOut(lines_.line(s)); }

private:
    InfluxLines lines_;
};

} // namespace

std::unique_ptr<MonitorOutput> makeInfluxOutput(const MonitorSetup& setup)
{
    return setup.format == OutputFormat::Influx ? std::make_unique<InfluxOutput>(setup) : nullptr;
}

} // namespace plovex::cli
