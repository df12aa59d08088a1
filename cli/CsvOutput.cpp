// plovex-cli monitor --format csv: one header line, then one row per
// reading. Both kinds share the columns: "type" ("measurement" or
// "parameter"), the eleven measurement keys, then "paddress" and "pdata"; a
// cell is empty where the record has no such entry, so a parameter row
// leaves the measurement columns empty. Then "time" (the time of the
// reading, local ISO 8601), the derived fields (empty where they have no
// value, and on parameter rows), and "link" ("up" or "down"; "down" also for
// a link-down cycle's parameter row, whose pdata is the loop's counter).

#include "cli/CommandSupport.h"
#include "cli/MonitorOutput.h"
#include "cli/RecordEntries.h"
#include "link/Records.h"
#include "record/LocalTime.h"

namespace plovex::cli {

namespace {

class CsvOutput final : public MonitorOutput {
public:
    explicit CsvOutput(std::vector<record::DerivedField> fields) : fields_(std::move(fields)) {}

    void begin() override
    {
        std::string line = "type";
        for (const auto& keys : {records::measurementKeys(), records::parameterKeys()})
            for (const auto& key : keys)
                line += "," + key;
        line += ",time";
        for (const auto& f : fields_)
            line += "," + f.name;
        writeOut(line + ",link\n");
    }

    void measurement(const Measurement& m) override
    {
        std::string line = "measurement";
        appendEntries(line, entriesOf(m, Placeholders::Keep));
        line += ",,,"; // paddress, pdata
        line += record::isoLocalTime(m.time);
        for (const auto& f : fields_) {
            line += ',';
            line += f.text(m);
        }
        end(line, m.linkUp);
    }

    void parameter(const ParameterReading& p) override
    {
        std::string line = "parameter";
        line.append(records::measurementKeys().size(), ',');
        appendEntries(line, entriesOf(p, Placeholders::Keep));
        line += ',';
        line += record::isoLocalTime(p.time);
        line.append(fields_.size(), ',');
        end(line, p.linkUp);
    }

private:
    static void appendEntries(std::string& line, const Entries& entries)
    {
        for (const auto& entry : entries) {
            line += ',';
            line += std::to_string(entry.second);
        }
    }

    static void end(std::string& line, bool linkUp)
    {
        line += ',';
        line += linkText(linkUp);
        writeOut(line + "\n");
    }

    std::vector<record::DerivedField> fields_;
};

} // namespace

std::unique_ptr<MonitorOutput> makeCsvOutput(const MonitorSetup& setup)
{
    return setup.format == OutputFormat::Csv ? std::make_unique<CsvOutput>(setup.fields) : nullptr;
}

} // namespace plovex::cli
