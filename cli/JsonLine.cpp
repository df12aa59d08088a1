#include "cli/JsonLine.h"

#include "params/Json.h"
#include "record/AveragedRow.h"
#include "record/LocalTime.h"

namespace plovex::cli {

namespace {

using params::quoteJson;

// Appended piece by piece: GCC 12 at -O3 takes "literal" + std::string for
// an overlapping copy (-Wrestrict).
void appendMember(std::string& line, const std::string& name, const std::string& jsonValue)
{
    line += ',';
    line += quoteJson(name);
    line += ':';
    line += jsonValue;
}

std::string head(const char* type, const Entries& entries, record::WallClock::time_point time)
{
    std::string line = "{\"type\":" + quoteJson(type);
    for (const auto& [key, value] : entries)
        appendMember(line, key, std::to_string(value));
    appendMember(line, "time", quoteJson(record::isoLocalTime(time)));
    return line;
}

} // namespace

std::string jsonLine(const Measurement& m, const std::vector<record::DerivedField>& fields, Placeholders placeholders)
{
    std::string line = head("measurement", entriesOf(m, placeholders), m.time);
    for (const auto& f : fields) {
        const std::string text = f.text(m);
        appendMember(line, f.name, text.empty() ? std::string("null") : text);
    }
    appendMember(line, "link", quoteJson(linkText(m.linkUp)));
    return line + "}";
}

std::string jsonLine(const ParameterReading& p, Placeholders placeholders)
{
    std::string line = head("parameter", entriesOf(p, placeholders), p.time);
    appendMember(line, "link", quoteJson(linkText(p.linkUp)));
    return line + "}";
}

std::string jsonLine(const stats::IntervalSummary& s, board::TiltUnit unit)
{
    std::string line = "{\"type\":\"interval\"";
    const auto cells = record::averagedCells(s, unit);
    for (std::size_t i = 0; i < cells.size(); ++i) {
        const auto& [name, text] = cells[i];
        appendMember(line, name, i == 0 ? quoteJson(text) : text.empty() ? std::string("null") : text);
    }
    return line + "}";
}

} // namespace plovex::cli
