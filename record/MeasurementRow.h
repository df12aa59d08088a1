#pragma once
// One measurement record as a recording keeps it, and its CSV form.
//
// The columns: time (local, ISO 8601 with milliseconds and UTC offset),
// elapsed_s (seconds since the recording began), x_deg and y_deg (the
// measured tilt, 90 degrees per 16383 counts of xKal / yKal), then x_<unit>
// and y_<unit> when the recording's unit is not degrees, temp_c, the nine
// raw values by their record keys, packetCount and link ("up" or "down").
// A row of a record with the link down leaves every value column empty
// (packetCount excepted), so the gap shows. A grade of a tilt of 90 degrees
// or more has no value: its cell is empty too.

#include "link/TiltUnits.h"
#include "record/LocalTime.h"

#include <array>
#include <cstdint>
#include <string>

namespace platform {
class Record;
}

namespace plovex::record {

struct MeasurementRow {
    WallClock::time_point time;
    double elapsedSeconds = 0.0;
    bool linkUp = false;
    std::array<int32_t, 9> raw{}; // xGravityRaw ... temp, in record order
    int32_t packetCount = 0;
};

// The row of a measurement record (commState 0, or absent, is the link down).
MeasurementRow measurementRow(const platform::Record& record, WallClock::time_point time, double elapsedSeconds);

// The header line, with its newline.
std::string csvHeader(board::TiltUnit unit);

// Appends the row's line, with its newline.
void appendCsvRow(std::string& out, const MeasurementRow& row, board::TiltUnit unit);

// value with the given decimals ("-0.0000" shown as "0.0000"); "" for NaN.
std::string fixedDecimals(double value, int decimals);

} // namespace plovex::record
