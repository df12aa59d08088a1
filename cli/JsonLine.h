#pragma once
// A reading as one JSON object, as plovex-cli monitor --format jsonl prints
// it and its MQTT messages carry it: "type" ("measurement" or "parameter")
// first, then the record's entries in record order (RecordEntries.h), then
// "time" (the time of the reading, local ISO 8601), then a measurement's
// derived fields (null where they have no value), then "link" ("up" or
// "down"). No newline.
// An interval (--average): "type" "interval", then the averaged row's
// columns (record/AveragedRow.h) by name: "time" a string, "count" and the
// figures numbers, null where the row's cell is empty.

#include "cli/RecordEntries.h"
#include "record/DerivedFields.h"
#include "stats/IntervalAverager.h"

#include <string>
#include <vector>

namespace plovex::cli {

std::string jsonLine(const Measurement& m, const std::vector<record::DerivedField>& fields, Placeholders placeholders);
std::string jsonLine(const ParameterReading& p, Placeholders placeholders);
std::string jsonLine(const stats::IntervalSummary& s, board::TiltUnit unit);

} // namespace plovex::cli
