#pragma once
// A reading as one JSON object, as plovex-cli monitor --format jsonl prints
// it and its MQTT messages carry it: "type" ("measurement" or "parameter")
// first, then the record's entries in record order (RecordEntries.h), then
// "time" (the time of the reading, local ISO 8601), then a measurement's
// derived fields (null where they have no value), then "link" ("up" or
// "down"). No newline.

#include "cli/RecordEntries.h"
#include "record/DerivedFields.h"

#include <string>
#include <vector>

namespace plovex::cli {

std::string jsonLine(const Measurement& m, const std::vector<record::DerivedField>& fields, Placeholders placeholders);
std::string jsonLine(const ParameterReading& p, Placeholders placeholders);

} // namespace plovex::cli
