// plovex-cli monitor --format jsonl: one JSON object per reading
// (JsonLine.h), the records' entries as they were made.

#include "cli/CommandSupport.h"
#include "cli/JsonLine.h"
#include "cli/MonitorOutput.h"

namespace plovex::cli {

namespace {

class JsonlOutput final : public MonitorOutput {
public:
    explicit JsonlOutput(std::vector<record::DerivedField> fields) : fields_(std::move(fields)) {}

    void measurement(const Measurement& m) override { writeOut(jsonLine(m, fields_, Placeholders::Keep) + "\n"); }
    void parameter(const ParameterReading& p) override { writeOut(jsonLine(p, Placeholders::Keep) + "\n"); }

private:
    std::vector<record::DerivedField> fields_;
};

} // namespace

std::unique_ptr<MonitorOutput> makeJsonlOutput(const MonitorSetup& setup)
{
    return setup.format == OutputFormat::Jsonl ? std::make_unique<JsonlOutput>(setup.fields) : nullptr;
}

} // namespace plovex::cli
