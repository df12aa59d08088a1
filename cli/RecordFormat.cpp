#include "cli/RecordFormat.h"

#include "link/BoardFacts.h"
#include "link/Records.h"
#include "record/MeasurementRow.h"

#include <cstdio>
#include <vector>

namespace plovex::cli {

namespace {

const char* kindName(RecordKind kind)
{
    return kind == RecordKind::Measurement ? "measurement" : "parameter";
}

// The csv columns after "type": every key of both records, in record order.
const std::vector<std::string>& csvKeys()
{
    static const std::vector<std::string> keys = [] {
        std::vector<std::string> k = records::measurementKeys();
        const auto& p = records::parameterKeys();
        k.insert(k.end(), p.begin(), p.end());
        return k;
    }();
    return keys;
}

std::string jsonString(const std::string& s)
{
    std::string out = "\"";
    for (const char c : s) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (static_cast<unsigned char>(c) < 0x20) {
            char esc[8];
            std::snprintf(esc, sizeof esc, "\\u%04x", static_cast<unsigned>(static_cast<unsigned char>(c)));
            out += esc;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

std::string textBody(RecordKind kind, const platform::Record& r);

// The derived column names, as derivedFields gives them.
std::vector<std::string> derivedNames(board::TiltUnit unit)
{
    std::vector<std::string> names = {"x_deg", "y_deg", "temp_c"};
    if (unit != board::TiltUnit::Degrees) {
        const std::string suffix(board::tiltUnitSuffix(unit));
        names.push_back("x_" + suffix);
        names.push_back("y_" + suffix);
    }
    return names;
}

std::string textLine(RecordKind kind, const platform::Record& r, const LineContext& c)
{
    std::string line = record::localTimeOfDay(c.time) + "  ";
    line += textBody(kind, r);
    return line;
}

std::string textBody(RecordKind kind, const platform::Record& r)
{
    char line[160];
    if (kind == RecordKind::Measurement && r.intValue("commState") == 0) {
        // A link-down record holds placeholders, not measurements.
        std::snprintf(line, sizeof line, "link down  NO Comms  packet %d\n", r.intValue("packetCount"));
    } else if (kind == RecordKind::Measurement) {
        const float x = board::countsToDegrees(r.intValue("xKal"));
        const float y = board::countsToDegrees(r.intValue("yKal"));
        const float t = board::tenthsToDegrees(r.intValue("temp"));
        std::snprintf(line, sizeof line, "X %8.2f°  Y %8.2f°  %7.1f°C  %s  packet %d\n", static_cast<double>(x),
                      static_cast<double>(y), static_cast<double>(t),
                      r.intValue("commState") != 0 ? "Comms OK" : "NO Comms", r.intValue("packetCount"));
    } else {
        const int address = r.intValue("paddress");
        const std::string description(board::parameterDescription(address));
        std::snprintf(line, sizeof line, "parameter %2d  %-23s  %6d\n", address, description.c_str(),
                      r.intValue("pdata"));
    }
    return line;
}

std::string csvLine(RecordKind kind, const platform::Record& r, const LineContext& c)
{
    std::string line = kindName(kind);
    for (const auto& key : csvKeys()) {
        line += ',';
        if (r.contains(key))
            line += std::to_string(r.intValue(key));
    }
    line += ',';
    line += record::isoLocalTime(c.time);
    if (kind == RecordKind::Measurement) {
        for (const auto& field : derivedFields(r, c.unit)) {
            line += ',';
            line += field.second;
        }
    } else {
        line.append(derivedNames(c.unit).size(), ',');
    }
    return line + "\n";
}

std::string jsonLine(RecordKind kind, const platform::Record& r, const LineContext& c)
{
    std::string line = "{\"type\":" + jsonString(kindName(kind));
    // Appended piece by piece: GCC 12 at -O3 takes "literal" + std::string
    // for an overlapping copy (-Wrestrict).
    for (std::size_t i = 0; i < r.count(); ++i) {
        line += ',';
        line += jsonString(r.keys()[i]);
        line += ':';
        line += std::to_string(r.values()[i]);
    }
    line += ",\"time\":";
    line += jsonString(record::isoLocalTime(c.time));
    if (kind == RecordKind::Measurement) {
        for (const auto& field : derivedFields(r, c.unit)) {
            line += ',';
            line += jsonString(field.first);
            line += ':';
            line += field.second.empty() ? std::string("null") : field.second;
        }
    }
    return line + "}\n";
}

} // namespace

DerivedFields derivedFields(const platform::Record& r, board::TiltUnit unit)
{
    const bool up = r.intValue("commState") != 0;
    const double x = board::countsToDegrees(r.intValue("xKal"));
    const double y = board::countsToDegrees(r.intValue("yKal"));
    const int degDecimals = board::tiltUnitRecordDecimals(board::TiltUnit::Degrees);
    DerivedFields fields = {
        {"x_deg", up ? record::fixedDecimals(x, degDecimals) : ""},
        {"y_deg", up ? record::fixedDecimals(y, degDecimals) : ""},
        {"temp_c", up ? record::fixedDecimals(board::tenthsToDegrees(r.intValue("temp")), 1) : ""},
    };
    if (unit != board::TiltUnit::Degrees) {
        const std::string suffix(board::tiltUnitSuffix(unit));
        const int d = board::tiltUnitRecordDecimals(unit);
        fields.emplace_back("x_" + suffix, up ? record::fixedDecimals(board::fromDegrees(unit, x), d) : "");
        fields.emplace_back("y_" + suffix, up ? record::fixedDecimals(board::fromDegrees(unit, y), d) : "");
    }
    return fields;
}

std::optional<OutputFormat> parseOutputFormat(const std::string& name)
{
    if (name == "text")
        return OutputFormat::Text;
    if (name == "csv")
        return OutputFormat::Csv;
    if (name == "jsonl")
        return OutputFormat::Jsonl;
    if (name == "influx")
        return OutputFormat::Influx;
    return std::nullopt;
}

std::optional<RecordKind> recordKindOf(const std::string& notificationName)
{
    if (notificationName == records::kInclinoData)
        return RecordKind::Measurement;
    if (notificationName == records::kInclinoParameter)
        return RecordKind::Parameter;
    return std::nullopt;
}

std::string csvHeader(board::TiltUnit unit)
{
    std::string line = "type";
    for (const auto& key : csvKeys())
        line += "," + key;
    line += ",time";
    for (const auto& name : derivedNames(unit))
        line += "," + name;
    return line + "\n";
}

std::string formatRecord(OutputFormat format, RecordKind kind, const platform::Record& record,
                         const LineContext& context)
{
    switch (format) {
    case OutputFormat::Text:
        return textLine(kind, record, context);
    case OutputFormat::Csv:
        return csvLine(kind, record, context);
    case OutputFormat::Jsonl:
        return jsonLine(kind, record, context);
    case OutputFormat::Influx:
        break;
    }
    return {};
}

} // namespace plovex::cli
