#pragma once
// A captured reading and its written forms: one CSV row (the window's list
// saved, plovex-cli capture --format csv), one JSON object and one line of
// text. The columns:
//
//   time      when the averaging began, local ISO 8601 with milliseconds and UTC offset
//   label     the user's text (CSV-quoted when it needs to be)
//   seconds   how long it averaged
//   count     the measurements averaged
//   x_deg_mean, x_deg_sd, x_deg_min, x_deg_max, the same for y_deg, then
//             for x_<unit> and y_<unit> when the unit is not degrees, then
//             for temp_c: mean, sample standard deviation, minimum, maximum
//
// as an averaged log row gives them, with the same decimals (one more than
// a recording's single value for angles, two for the temperature). The
// statistics are kept for every unit, so that the unit of the written
// form can be chosen after the capture.
//
// A reading taken relative to a zero (the window's, as its readouts show
// the tilt) holds the angles less the zero, and the zero itself; its
// written forms then end with x_zero_deg and y_zero_deg, so that the
// measured angles can be worked out again.

#include "link/Measurement.h"
#include "link/TiltUnits.h"
#include "record/LocalTime.h"
#include "stats/RunningStats.h"

#include <array>
#include <chrono>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace plovex::record {

struct CapturedReading {
    WallClock::time_point start;
    std::chrono::duration<double> length{0};
    std::string label;
    uint64_t count = 0;
    // [unit][axis]: X and Y in each unit of kTiltUnits, in its order.
    std::array<std::array<stats::RunningStats, 2>, std::size(board::kTiltUnits)> tilt;
    stats::RunningStats temperature;
    double zeroX = 0.0, zeroY = 0.0; // degrees taken off each angle
    bool zeroed = false;

    // Adds a measurement with the link up, less the zero.
    void add(const Measurement& m);
    const stats::RunningStats& axis(board::TiltUnit unit, int axis) const;
};

// The row's cells by column name, with their text ("" for an empty cell).
using Cells = std::vector<std::pair<std::string, std::string>>;
Cells capturedCells(const CapturedReading& r, board::TiltUnit unit, bool withZero = false);

// The header line and a row, each with its newline. withZero: the zero's
// two columns at the end (empty in a row taken without one).
std::string capturedCsvHeader(board::TiltUnit unit, bool withZero = false);
std::string capturedCsvRow(const CapturedReading& r, board::TiltUnit unit, bool withZero = false);
// One JSON object with the CSV's names as keys (null for a figure there is none of), and a newline.
std::string capturedJson(const CapturedReading& r, board::TiltUnit unit);
// One line for people: time, label, count, then each quantity's mean, sd and range.
std::string capturedText(const CapturedReading& r, board::TiltUnit unit);

// text as one CSV cell: in double quotes, with its quotes doubled, when it
// holds a comma, a quote or a line break.
std::string csvCell(const std::string& text);

} // namespace plovex::record
