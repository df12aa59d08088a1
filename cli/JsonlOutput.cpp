// plovex-cli monitor --format jsonl: one JSON object per reading
// (JsonLine.h), the records' entries as they were made, and one per alarm
// raised or cleared.

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
    // A change among the records; a rule's first known state is none.
    void alarm(const alarm::Rule& rule, const alarm::AlarmEvent& event) override
    {
        if (!event.initial)
            writeOut(jsonLine(rule, event) + "\n");
    }

private:
    std::vector<record::DerivedField> fields_;
};

} // namespace

std::unique_ptr<MonitorOutput> makeJsonlOutput(const MonitorSetup& setup)
{
    return setup.format == OutputFormat::Jsonl ? std::make_unique<JsonlOutput>(setup.fields) : nullptr;
}

} // namespace plovex::cli
