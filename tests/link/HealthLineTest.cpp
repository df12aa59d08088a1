// The one line that tells how the link is doing, as the window's health strip and the monitor's
// status line show it: the rate over a second or more, the time since the last record, and bytes
// for people.

#include "link/HealthLine.h"

#include <gtest/gtest.h>

using namespace std::chrono_literals;

TEST(HealthLine, RateOverASecondOrMoreAgeOfTheLastRecordAndBytesForPeople)
{
    const auto t0 = std::chrono::steady_clock::time_point(100s);
    const struct { // at and lastAt after t0
        std::chrono::milliseconds at;
        uint64_t records;
        std::optional<std::chrono::milliseconds> lastAt;
        uint64_t sent, received;
        bool open;
        std::string port, line;
    } steps[] = {
        {0ms, 0, {}, 0, 999, false, "", "0.0 records/s, none yet, 0 timeouts, 0 reconnects, sent 0 B, received 999 B, port none (closed)"},
        {500ms, 72, 480ms, 1000, 12345, true, "/dev/ttyUSB0",
         "0.0 records/s, last 0.0 s ago, 0 timeouts, 0 reconnects, sent 1.0 kB, received 12.3 kB, port /dev/ttyUSB0"},
        {1000ms, 144, 990ms, 999499, 3100000, true, "/dev/ttyUSB0", // a second since the first look
         "144.0 records/s, last 0.0 s ago, 0 timeouts, 0 reconnects, sent 999.5 kB, received 3.1 MB, port /dev/ttyUSB0"},
        {1800ms, 144, 990ms, 0, 0, true, "p", "144.0 records/s, last 0.8 s ago, 0 timeouts, 0 reconnects, sent 0 B, received 0 B, port p"},
        {3000ms, 204, 2500ms, 0, 0, true, "p", "30.0 records/s, last 0.5 s ago, 0 timeouts, 0 reconnects, sent 0 B, received 0 B, port p"},
    };
    plovex::HealthLine line;
    for (const auto& s : steps) {
        const plovex::LinkHealth h{.measurementRecords = s.records, .lastMeasurementAt = s.lastAt ? std::optional(t0 + *s.lastAt) : std::nullopt,
                                   .framesAbandoned = 0, .reconnects = 0, .bytesSent = s.sent, .bytesReceived = s.received, .eepromReads = 0, .open = s.open};
        EXPECT_EQ(line.update(h, t0 + s.at, s.port), s.line);
    }
    const plovex::LinkHealth counts{.measurementRecords = 0, .lastMeasurementAt = std::nullopt, .framesAbandoned = 3, .reconnects = 2};
    EXPECT_NE(plovex::HealthLine().update(counts, t0, "p").find(", 3 timeouts, 2 reconnects,"), std::string::npos);
}
