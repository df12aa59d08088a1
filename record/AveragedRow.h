#pragma once
// The averaged log row: one interval of measurements (plovex-cli log and
// monitor --average). Its columns, in this order:
//
//   time        the interval's start, local ISO 8601 with milliseconds and UTC offset
//   interval_s  its length in seconds
//   count       the measurements in it (with the link up)
//   x_deg_mean, x_deg_sd, x_deg_min, x_deg_max, the same for y_deg, then for
//               x_<unit> and y_<unit> when the unit is not degrees, then for
//               temp_c: mean, sample standard deviation, minimum and maximum
//   link_up     the share of the interval the link was up, 0 to 1
//
// An interval with no measurement leaves every statistics cell empty. Angles
// carry one decimal more than a recording's single value (a mean is finer
// than one reading), the temperature two.

#include "link/Measurement.h"
#include "link/TiltUnits.h"
#include "stats/IntervalAverager.h"

#include <string>
#include <utility>
#include <vector>

namespace plovex::record {

// One quantity an averaged row gives the statistics of.
struct AveragedQuantity {
    std::string name; // the column names' stem: x_deg, temp_c
    int decimals;
    double (*value)(const Measurement& m, board::TiltUnit unit); // NaN: none (a grade at 90 degrees)
};

// x_deg, y_deg, then x_<unit> and y_<unit> when unit is not degrees, then temp_c.
std::vector<AveragedQuantity> averagedQuantities(board::TiltUnit unit);

// The row's cells by column name, with their text ("" for an empty cell).
using Cells = std::vector<std::pair<std::string, std::string>>;
Cells averagedCells(const stats::IntervalSummary& summary, board::TiltUnit unit);

// The header line, with its newline.
std::string averagedCsvHeader(board::TiltUnit unit);
// Appends the row's line, with its newline.
void appendAveragedCsvRow(std::string& out, const stats::IntervalSummary& summary, board::TiltUnit unit);

} // namespace plovex::record
