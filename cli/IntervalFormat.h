#pragma once
// How plovex-cli monitor --average prints an interval of measurements in
// place of the measurements themselves (parameters still print as they
// come, RecordFormat.h). The interval's figures are the averaged log row's
// (record/AveragedRow.h), stamped with the interval's start:
//
//   text   the start's time of day, the length, the count, X and Y in
//          degrees (mean and sample standard deviation), the mean
//          temperature and the share of the interval the link was up;
//   csv    "type" ("interval" or "parameter"), the averaged row's columns,
//          then "paddress" and "pdata"; a parameter row fills type, time
//          (its delivery) and its two cells;
//   jsonl  {"type":"interval"} and the averaged row's columns as fields,
//          "time" a string, "count" an integer, the rest numbers (null
//          where the row's cell is empty);
//   influx its lines carry tags, so FleetOutput makes them.

#include "cli/RecordFormat.h"
#include "stats/IntervalAverager.h"

#include <string>

namespace plovex::cli {

// The csv header line with averaging (with its newline).
std::string intervalCsvHeader(board::TiltUnit unit);

// The interval as a line of the format (with its newline); "" for influx.
std::string formatInterval(OutputFormat format, const stats::IntervalSummary& summary, board::TiltUnit unit);

// A parameter record as a row under intervalCsvHeader (with its newline).
std::string averagedParameterCsvLine(const platform::Record& record, const LineContext& context);

} // namespace plovex::cli
