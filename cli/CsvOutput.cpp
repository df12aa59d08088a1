// plovex-cli monitor --format csv: one header line, then one row per
// reading. Both kinds share the columns: "type" ("measurement" or
// "parameter"), the eleven measurement keys, then "paddress" and "pdata"; a
// cell is empty where the record has no such entry, so a parameter row
// leaves the measurement columns empty. Then "time" (the time of the
// reading, local ISO 8601), the derived fields (empty where they have no
// value, and on parameter rows), and "link" ("up" or "down"; "down" also for
// a link-down cycle's parameter row, whose pdata is the loop's counter).
// With --average the measurement columns give way to the averaged row's
// (record/AveragedRow.h): "type" ("interval" or "parameter"), the averaged
// columns, "paddress", "pdata" and "link"; a parameter row fills its time
// (under "time") and its own three cells, an interval row leaves them empty.

#include "cli/CommandSupport.h"
#include "cli/MonitorOutput.h"
#include "cli/RecordEntries.h"
#include "link/Records.h"
#include "record/AveragedRow.h"
#include "record/LocalTime.h"

namespace plovex::cli {

namespace {

class CsvOutput final : public MonitorOutput {
public:
    CsvOutput(std::vector<record::DerivedField> fields, board::TiltUnit unit, bool averaged)
        : fields_(std::move(fields)), unit_(unit), averaged_(averaged)
    {
    }

    void begin() override
    {
        if (averaged_) {
            std::string header = record::averagedCsvHeader(unit_);
            header.pop_back();
            writeOut("type," + header + ",paddress,pdata,link\n");
            return;
        }
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
        if (averaged_) {
            line += ',';
            line += record::isoLocalTime(p.time);
            line.append(record::averagedCells({}, unit_).size() - 1, ','); // the other averaged cells
            appendEntries(line, entriesOf(p, Placeholders::Keep));
            end(line, p.linkUp);
            return;
        }
        line.append(records::measurementKeys().size(), ',');
        appendEntries(line, entriesOf(p, Placeholders::Keep));
        line += ',';
        line += record::isoLocalTime(p.time);
        line.append(fields_.size(), ',');
        end(line, p.linkUp);
    }

    void interval(const stats::IntervalSummary& s) override
    {
        std::string line = "interval,";
        record::appendAveragedCsvRow(line, s, unit_);
        line.pop_back();
        writeOut(line + ",,,\n"); // paddress, pdata, link
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
    board::TiltUnit unit_;
    bool averaged_;
};

} // namespace

std::unique_ptr<MonitorOutput> makeCsvOutput(const MonitorSetup& setup)
{
    if (setup.format != OutputFormat::Csv)
        return nullptr;
    return std::make_unique<CsvOutput>(setup.fields, setup.unit, setup.average.has_value());
}

} // namespace plovex::cli
