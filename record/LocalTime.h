#pragma once
// Wall-clock times as recordings, parameter snapshots and plovex-cli print
// them, in the local time zone (TZ).

#include <chrono>
#include <optional>
#include <string>
#include <string_view>

namespace plovex::record {

using WallClock = std::chrono::system_clock;

enum class TimeResolution { Seconds, Milliseconds };

// ISO 8601 with the UTC offset, to the millisecond
// ("2026-12-07T14:03:22.123+01:00") or to the second ("2026-12-07T14:03:22+01:00").
std::string isoLocalTime(WallClock::time_point t, TimeResolution resolution = TimeResolution::Milliseconds);

// The time of day with milliseconds: "14:03:22.123".
std::string localTimeOfDay(WallClock::time_point t);

// The name a new recording is offered under: "plovex-20261207-140322.csv".
std::string proposedRecordingName(WallClock::time_point t);

// Reads back a time as isoLocalTime writes it: the date, "T", the time of
// day to the second with any fraction, then the offset ("+01:00", "-0330" or
// "Z"). nullopt for anything else, or a field out of its range.
std::optional<WallClock::time_point> parseIsoTime(std::string_view text);

} // namespace plovex::record
