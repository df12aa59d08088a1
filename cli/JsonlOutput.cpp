// plovex-cli monitor --format jsonl: one JSON object per reading
// (JsonLine.h), the records' entries as they were made; with --average one
// per interval in place of the measurements.

#include "cli/CommandSupport.h"
#include "cli/JsonLine.h"
#include "cli/MonitorOutput.h"

namespace plovex::cli {

namespace {

class JsonlOutput final : public MonitorOutput {
public:
    JsonlOutput(std::vector<record::DerivedField> fields, board::TiltUnit unit) : fields_(std::move(fields)), unit_(unit)
    {
    }

    void measurement(const Measurement& m) override { writeOut(jsonLine(m, fields_, Placeholders::Keep) + "\n"); }
    void parameter(const ParameterReading& p) override { writeOut(jsonLine(p, Placeholders::Keep) + "\n"); }
    void interval(const stats::IntervalSummary& s) override { writeOut(jsonLine(s, unit_) + "\n"); }

private:
    std::vector<record::DerivedField> fields_;
    board::TiltUnit unit_;
};

} // namespace

std::unique_ptr<MonitorOutput> makeJsonlOutput(const MonitorSetup& setup)
{
    return setup.format == OutputFormat::Jsonl ? std::make_unique<JsonlOutput>(setup.fields, setup.unit) : nullptr;
}

} // namespace plovex::cli
