#include "record/LocalTime.h"

#include <cstdio>
#include <cstdlib>
#include <ctime>

namespace plovex::record {

namespace {

struct LocalParts {
    std::tm tm{};
    int millis = 0;
};

LocalParts localParts(WallClock::time_point t)
{
    using namespace std::chrono;
    // Whole seconds toward minus infinity, so times before 1970 keep 0..999 ms.
    const auto secs = floor<seconds>(t);
    LocalParts p;
    p.millis = static_cast<int>(duration_cast<milliseconds>(t - secs).count());
    const std::time_t tt = WallClock::to_time_t(secs);
    localtime_r(&tt, &p.tm);
    return p;
}

} // namespace

std::string isoLocalTime(WallClock::time_point t, TimeResolution resolution)
{
    const LocalParts p = localParts(t);
    const long offset = p.tm.tm_gmtoff; // seconds east of UTC
    const long minutes = std::labs(offset) / 60;
    char millis[8] = "";
    if (resolution == TimeResolution::Milliseconds)
        std::snprintf(millis, sizeof millis, ".%03d", p.millis);
    char text[128];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d%s%c%02ld:%02ld", p.tm.tm_year + 1900,
                  p.tm.tm_mon + 1, p.tm.tm_mday, p.tm.tm_hour, p.tm.tm_min, p.tm.tm_sec, millis,
                  offset < 0 ? '-' : '+', minutes / 60, minutes % 60);
    return text;
}

std::string localTimeOfDay(WallClock::time_point t)
{
    const LocalParts p = localParts(t);
    char text[64];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d.%03d", p.tm.tm_hour, p.tm.tm_min, p.tm.tm_sec, p.millis);
    return text;
}

std::string proposedRecordingName(WallClock::time_point t)
{
    const LocalParts p = localParts(t);
    char text[128];
    std::snprintf(text, sizeof text, "plovex-%04d%02d%02d-%02d%02d%02d.csv", p.tm.tm_year + 1900, p.tm.tm_mon + 1,
                  p.tm.tm_mday, p.tm.tm_hour, p.tm.tm_min, p.tm.tm_sec);
    return text;
}

namespace {

// Whole decimal number of exactly `digits` digits at text[at], or -1.
int digitsAt(std::string_view text, std::size_t at, std::size_t digits)
{
    if (at + digits > text.size())
        return -1;
    int value = 0;
    for (std::size_t i = at; i < at + digits; ++i) {
        const char c = text[i];
        if (c < '0' || c > '9')
            return -1;
        value = value * 10 + (c - '0');
    }
    return value;
}

// Days from 1970-01-01 to the given date of the proleptic Gregorian calendar.
long long daysFromCivil(int y, unsigned m, unsigned d)
{
    y -= m <= 2;
    const int era = (y >= 0 ? y : y - 399) / 400;
    const auto yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return static_cast<long long>(era) * 146097 + static_cast<long long>(doe) - 719468;
}

} // namespace

std::optional<WallClock::time_point> parseIsoTime(std::string_view text)
{
    // 2026-12-07T14:03:22[.123]+01:00
    const int year = digitsAt(text, 0, 4), month = digitsAt(text, 5, 2), day = digitsAt(text, 8, 2);
    const int hour = digitsAt(text, 11, 2), minute = digitsAt(text, 14, 2), second = digitsAt(text, 17, 2);
    if (text.size() < 20 || text[4] != '-' || text[7] != '-' || text[10] != 'T' || text[13] != ':' ||
        text[16] != ':')
        return std::nullopt;
    static constexpr int kDaysIn[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
    if (year < 0 || month < 1 || month > 12 || day < 1 || day > kDaysIn[month - 1] ||
        (month == 2 && day == 29 && !leap) || hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 ||
        second > 60)
        return std::nullopt;
    std::size_t at = 19;
    long long nanos = 0;
    if (text[at] == '.') {
        long long scale = 100000000;
        const std::size_t begin = ++at;
        for (; at < text.size() && text[at] >= '0' && text[at] <= '9'; ++at, scale /= 10)
            nanos += (text[at] - '0') * scale;
        if (at == begin)
            return std::nullopt;
    }
    long long offsetMinutes = 0;
    if (text.substr(at) != "Z") {
        const std::size_t rest = text.size() - at;
        if ((rest != 6 && rest != 5) || (text[at] != '+' && text[at] != '-'))
            return std::nullopt;
        const int oh = digitsAt(text, at + 1, 2);
        const int om = digitsAt(text, at + (rest == 6 ? 4 : 3), 2);
        if (oh < 0 || oh > 23 || om < 0 || om > 59 || (rest == 6 && text[at + 3] != ':'))
            return std::nullopt;
        offsetMinutes = (text[at] == '-' ? -1 : 1) * (oh * 60LL + om);
    }
    const long long seconds = daysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day)) * 86400 +
                              hour * 3600LL + minute * 60LL + second - offsetMinutes * 60;
    using namespace std::chrono;
    return WallClock::time_point(duration_cast<WallClock::duration>(std::chrono::seconds(seconds) + nanoseconds(nanos)));
}

} // namespace plovex::record
