#pragma once
// How plovex-cli monitor prints the records it is delivered, one line each.
//
//   text   the local time of day with milliseconds, then
//          a measurement as the window shows it: X and Y in degrees (90
//          degrees per 16383 counts of xKal / yKal, two decimals), the
//          temperature (temp / 10, one decimal, in °C), "Comms OK" or
//          "NO Comms", and the packet count; a link-down measurement
//          (commState 0) as "link down", "NO Comms" and the packet count,
//          since its other values are placeholders; a parameter as its
//          address, its description and its value.
//   csv    one header line, then one row per record. Both kinds of record
//          share the columns: "type" ("measurement" or "parameter"), the
//          eleven measurement keys, then "paddress" and "pdata". A cell is
//          empty where the record has no such entry, so a parameter row
//          leaves the measurement columns empty and a record without
//          commState leaves that cell empty. Then "time" (the delivery
//          time, local ISO 8601) and the derived fields (derivedFields).
//   jsonl  one object per record: "type" first, then the record's own
//          entries in record order. An entry the record lacks is absent.
//          Then "time" and, for a measurement, the derived fields (null
//          where they have no value).
//   influx InfluxDB line protocol; its lines carry tags, so FleetOutput
//          makes them, not formatRecord.

#include "link/TiltUnits.h"
#include "platform/Record.h"
#include "record/LocalTime.h"

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace plovex::cli {

enum class OutputFormat { Text, Csv, Jsonl, Influx };
enum class RecordKind { Measurement, Parameter };

// "text", "csv", "jsonl", "influx"; nullopt for anything else.
std::optional<OutputFormat> parseOutputFormat(const std::string& name);

// The kind of record a notification of that name carries; nullopt for other names.
std::optional<RecordKind> recordKindOf(const std::string& notificationName);

// What a line carries beside the record: when it was delivered, and the unit
// shown beside degrees.
struct LineContext {
    record::WallClock::time_point time;
    board::TiltUnit unit = board::TiltUnit::Degrees;
};

// The csv header line (with its newline).
std::string csvHeader(board::TiltUnit unit = board::TiltUnit::Degrees);

// The values worked out from a measurement, by name, as csv, jsonl and
// influx carry them: x_deg, y_deg (90 degrees per 16383 counts of xKal and
// yKal), temp_c (temp / 10), then x_<unit> and y_<unit> when the unit is not
// degrees. A value is "" while the link is down (the record's values then
// are placeholders) and for a grade a tilt of 90 degrees or more has not.
using DerivedFields = std::vector<std::pair<std::string, std::string>>;
DerivedFields derivedFields(const platform::Record& record, board::TiltUnit unit);

// One record as a line in the given format (with its newline); "" for influx.
std::string formatRecord(OutputFormat format, RecordKind kind, const platform::Record& record,
                         const LineContext& context);

} // namespace plovex::cli
