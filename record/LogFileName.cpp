#include "record/LogFileName.h"

#include <cctype>
#include <charconv>
#include <cstdio>
#include <ctime>

namespace plovex::record {

namespace {

constexpr std::string_view kCsv = ".csv", kGzip = ".csv.gz", kPartialGzip = ".csv.gz.part";
constexpr std::size_t kStampLength = 16; // YYYYMMDDTHHMMSSZ

bool endsWith(std::string_view s, std::string_view end)
{
    return s.size() >= end.size() && s.substr(s.size() - end.size()) == end;
}

bool digits(std::string_view s)
{
    for (const char c : s)
        if (!std::isdigit(static_cast<unsigned char>(c)))
            return false;
    return !s.empty();
}

int number(std::string_view s)
{
    int v = 0;
    std::from_chars(s.data(), s.data() + s.size(), v);
    return v;
}

} // namespace

std::string logFileName(const std::string& port, WallClock::time_point start, int sequence)
{
    const std::time_t t = WallClock::to_time_t(std::chrono::floor<std::chrono::seconds>(start));
    std::tm tm{};
    gmtime_r(&t, &tm);
    char stamp[64];
    std::snprintf(stamp, sizeof stamp, "%04d%02d%02dT%02d%02d%02dZ", tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday,
                  tm.tm_hour, tm.tm_min, tm.tm_sec);
    std::string name = port + "-" + stamp;
    if (sequence > 1)
        name += "_" + std::to_string(sequence);
    return name + std::string(kCsv);
}

std::optional<LogFileName> parseLogFileName(const std::string& port, std::string_view name)
{
    LogFileName parsed;
    if (endsWith(name, kPartialGzip)) {
        parsed.kind = LogFileKind::PartialGzip;
        name.remove_suffix(kPartialGzip.size());
    } else if (endsWith(name, kGzip)) {
        parsed.kind = LogFileKind::Gzip;
        name.remove_suffix(kGzip.size());
    } else if (endsWith(name, kCsv)) {
        name.remove_suffix(kCsv.size());
    } else {
        return std::nullopt;
    }
    if (name.size() < port.size() + 1 + kStampLength || name.substr(0, port.size()) != port ||
        name[port.size()] != '-')
        return std::nullopt;
    name.remove_prefix(port.size() + 1);
    const std::string_view stamp = name.substr(0, kStampLength);
    name.remove_prefix(kStampLength);
    if (!digits(stamp.substr(0, 8)) || stamp[8] != 'T' || !digits(stamp.substr(9, 6)) || stamp[15] != 'Z')
        return std::nullopt;
    if (!name.empty()) {
        if (name[0] != '_' || !digits(name.substr(1)) || name.size() > 8)
            return std::nullopt;
        parsed.sequence = number(name.substr(1));
        if (parsed.sequence < 2)
            return std::nullopt;
    }
    std::tm tm{};
    tm.tm_year = number(stamp.substr(0, 4)) - 1900;
    tm.tm_mon = number(stamp.substr(4, 2)) - 1;
    tm.tm_mday = number(stamp.substr(6, 2));
    tm.tm_hour = number(stamp.substr(9, 2));
    tm.tm_min = number(stamp.substr(11, 2));
    tm.tm_sec = number(stamp.substr(13, 2));
    parsed.start = WallClock::from_time_t(timegm(&tm));
    return parsed;
}

std::string logFilePortName(std::string_view stableName)
{
    std::string name(stableName);
    for (char& c : name)
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '.' && c != '_' && c != '+' && c != '-')
            c = '_';
    return name.empty() ? std::string("port") : name;
}

} // namespace plovex::record
