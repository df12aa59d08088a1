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
//          commState leaves that cell empty.
//   jsonl  one object per record: "type" first, then the record's own
//          entries in record order. An entry the record lacks is absent.

#include "link/TiltUnits.h"
#include "platform/Record.h"
#include "record/LocalTime.h"

#include <optional>
#include <string>

namespace plovex::cli {

enum class OutputFormat { Text, Csv, Jsonl };
enum class RecordKind { Measurement, Parameter };

// "text", "csv", "jsonl"; nullopt for anything else.
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

// One record as a line in the given format (with its newline).
std::string formatRecord(OutputFormat format, RecordKind kind, const platform::Record& record,
                         const LineContext& context);

} // namespace plovex::cli
