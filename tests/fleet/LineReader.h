#pragma once
// Line protocol read back by the rules InfluxDB and VictoriaMetrics agree
// on: a backslash before a comma, an equals sign or a blank makes it part of
// the text; any other backslash is itself.
//
//   measurement[,tag=value...] field=value[,field=value...] time

#include <cstdlib>
#include <cstring>
#include <map>
#include <string>

namespace fleettest {

using Map = std::map<std::string, std::string>;

struct Point {
    Map tags, fields;
    long long time = -1; // -1: not a line of the measurement "plovex"
};

// Reads up to an unescaped character of ends.
inline std::string until(const std::string& s, std::size_t& i, const char* ends, char& hit)
{
    std::string out;
    for (; i < s.size() && !std::strchr(ends, s[i]); ++i) {
        if (s[i] == '\\' && i + 1 < s.size() && std::strchr(",= ", s[i + 1]))
            ++i;
        out += s[i];
    }
    hit = i < s.size() ? s[i++] : '\0';
    return out;
}

inline Point parseLine(const std::string& line)
{
    Point p;
    std::size_t i = 0;
    char hit = 0;
    const bool plovex = until(line, i, ", ", hit) == "plovex";
    auto pairs = [&](Map& into) {
        do {
            const std::string key = until(line, i, "=", hit);
            const std::string value = hit == '=' ? until(line, i, ",= ", hit) : "";
            if (key.empty() || value.empty() || hit == '=' || !into.emplace(key, value).second)
                return false;
        } while (hit == ',');
        return hit == ' ';
    };
    if (plovex && (hit != ',' || pairs(p.tags)) && hit == ' ' && pairs(p.fields))
        p.time = std::atoll(line.c_str() + i);
    return p;
}

} // namespace fleettest
