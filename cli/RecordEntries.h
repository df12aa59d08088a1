#pragma once
// The entries of the record a reading came from, under the record keys and
// in record order, as the monitor's csv, jsonl and influx lines and its MQTT
// messages carry them; and the link state every line is marked with.

#include "link/Measurement.h"

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace plovex::cli {

using Entries = std::vector<std::pair<std::string, int64_t>>;

// Keep: every entry, as the record was made. LeaveOut: without the values
// that a link-down cycle only fills in (a measurement's nine values, a
// parameter's cycle counter in place of pdata), for outputs that would take
// them for readings.
enum class Placeholders { Keep, LeaveOut };

Entries entriesOf(const Measurement& m, Placeholders placeholders);
Entries entriesOf(const ParameterReading& p, Placeholders placeholders);

// "up" or "down".
const char* linkText(bool up);

} // namespace plovex::cli
