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

} // namespace plovex::record
