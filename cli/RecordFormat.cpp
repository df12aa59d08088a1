#include "cli/RecordFormat.h"

#include "link/BoardFacts.h"
#include "link/Records.h"

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

std::string textLine(RecordKind kind, const platform::Record& r)
{
    char line[160];
    if (kind == RecordKind::Measurement) {
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

std::string csvLine(RecordKind kind, const platform::Record& r)
{
    std::string line = kindName(kind);
    for (const auto& key : csvKeys()) {
        line += ',';
        if (r.contains(key))
            line += std::to_string(r.intValue(key));
    }
    return line + "\n";
}

std::string jsonLine(RecordKind kind, const platform::Record& r)
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
    return line + "}\n";
}

} // namespace

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

std::string csvHeader()
{
    std::string line = "type";
    for (const auto& key : csvKeys())
        line += "," + key;
    return line + "\n";
}

std::string formatRecord(OutputFormat format, RecordKind kind, const platform::Record& record)
{
    switch (format) {
    case OutputFormat::Text:
        return textLine(kind, record);
    case OutputFormat::Csv:
        return csvLine(kind, record);
    case OutputFormat::Jsonl:
        return jsonLine(kind, record);
    case OutputFormat::Influx:
        break;
    }
    return {};
}

} // namespace plovex::cli
