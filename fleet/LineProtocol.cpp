#include "fleet/LineProtocol.h"

#include <string_view>

namespace plovex::fleet {

namespace {

char lineCharacter(char c)
{
    return c == '\n' || c == '\r' ? ' ' : c;
}

// Tag keys, tag values and field keys share one escaping.
void appendEscaped(std::string& out, std::string_view text)
{
    for (char c : text) {
        c = lineCharacter(c);
        if (c == ',' || c == '=' || c == ' ')
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

std::string tagProblem(std::string_view text)
{
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\')
            continue;
        if (i + 1 == text.size())
            return "a backslash at the end";
        const char next = lineCharacter(text[i + 1]);
        if (next == ',' || next == '=' || next == ' ' || next == '\\')
            return std::string("a backslash before ") +
                   (next == ',' ? "a comma" : next == '=' ? "an equals sign" : next == ' ' ? "a blank" : "a backslash");
    }
    return "";
}

} // namespace plovex::fleet
