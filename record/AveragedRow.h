#pragma once
// The averaged log row: one interval of measurements (plovex-cli log and
// monitor --average). Its columns, in this order:
//
//   time        the interval's start, local ISO 8601 with milliseconds and UTC offset
//   interval_s  its length in seconds
//   count       the measurements in it (with the link up)
//   for each derived field in a recording's order (DerivedFields.h: x_deg,
//   y_deg, x_<unit> and y_<unit> when the unit is not degrees, temp_c):
//               <field>_mean, <field>_sd (sample standard deviation),
//               <field>_min, <field>_max
//   link_up     the share of the interval the link was up, 0 to 1
//
// An interval with no measurement leaves every statistics cell empty. Each
// figure carries one decimal more than the field's single value: a mean is
// finer than one reading.

#include "record/DerivedFields.h"
#include "stats/IntervalAverager.h"

#include <string>
#include <utility>
#include <vector>

namespace plovex::record {

// The fields an averaged row gives the statistics of, in its order: the
// intervals' series follow it.
std::vector<DerivedField> averagedFields(board::TiltUnit unit);

// The row's cells by column name, with their text ("" for an empty cell).
using Cells = std::vector<std::pair<std::string, std::string>>;
Cells averagedCells(const stats::IntervalSummary& summary, board::TiltUnit unit);

// The header line, with its newline.
std::string averagedCsvHeader(board::TiltUnit unit);
// Appends the row's line, with its newline.
void appendAveragedCsvRow(std::string& out, const stats::IntervalSummary& summary, board::TiltUnit unit);

} // namespace plovex::record
