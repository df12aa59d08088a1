#include "fleet/LineProtocol.h"

#include <string_view>

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

} // namespace

std::string influxLine(const Tags& tags, const IntegerFields& integers, const FloatFields& floats, int64_t timeNs)
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
    for (const auto& [key, value] : integers) {
        field(key);
        line += std::to_string(value);
        line += 'i';
    }
    for (const auto& [key, value] : floats) {
        if (value.empty())
            continue;
        field(key);
        line += value;
    }
    line += ' ';
    line += std::to_string(timeNs);
    line += '\n';
    return line;
}

} // namespace plovex::fleet
