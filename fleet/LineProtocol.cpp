#include "fleet/LineProtocol.h"

#include "link/BoardFacts.h"

#include <charconv>

namespace plovex::fleet {

namespace {

// Tag keys, tag values and field keys share one escaping.
void appendEscaped(std::string& out, std::string_view text)
{
    for (char c : text) {
        if (c == '\n' || c == '\r')
            c = ' ';
        if (c == ',' || c == '=' || c == ' ' || c == '\\')
            out += '\\';
        out += c;
    }
}

// The shortest text that reads back as the same float.
void appendFloat(std::string& out, float value)
{
    char text[32];
    const auto end = std::to_chars(text, text + sizeof text, value).ptr;
    out.append(text, end);
}

} // namespace

std::string influxLine(const Tags& tags, const platform::Record& record, bool measurement, int64_t timeNs)
{
    std::string line = "plovex";
    for (const auto& [key, value] : tags) {
        if (key.empty() || value.empty())
            continue;
        line += ',';
        appendEscaped(line, key);
        line += '=';
        appendEscaped(line, value);
    }
    char separator = ' ';
    auto field = [&](std::string_view key) {
        line += separator;
        separator = ',';
        appendEscaped(line, key);
        line += '=';
    };
    for (std::size_t i = 0; i < record.count(); ++i) {
        field(record.keys()[i]);
        line += std::to_string(record.value(i));
        line += 'i';
    }
    if (measurement) {
        field("x_deg");
        appendFloat(line, board::countsToDegrees(record.intValue("xKal")));
        field("y_deg");
        appendFloat(line, board::countsToDegrees(record.intValue("yKal")));
        field("temp_c");
        appendFloat(line, board::tenthsToDegrees(record.intValue("temp")));
    }
    line += ' ';
    line += std::to_string(timeNs);
    line += '\n';
    return line;
}

} // namespace plovex::fleet
