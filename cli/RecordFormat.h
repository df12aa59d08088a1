#pragma once
// How plovex-cli monitor prints the records it is delivered, one line each.
//
//   text   a measurement as the window shows it: X and Y in degrees (90
//          degrees per 16383 counts of xKal / yKal, two decimals), the
//          temperature (temp / 10, one decimal, in °C), "Comms OK" or
//          "NO Comms", and the packet count; a parameter as its address,
//          its description and its value.
//   csv    one header line, then one row per record. Both kinds of record
//          share the columns: "type" ("measurement" or "parameter"), the
//          eleven measurement keys, then "paddress" and "pdata". A cell is
//          empty where the record has no such entry, so a parameter row
//          leaves the measurement columns empty and a record without
//          commState leaves that cell empty.
//   jsonl  one object per record: "type" first, then the record's own
//          entries in record order. An entry the record lacks is absent.
//   influx InfluxDB line protocol; its lines carry tags and the delivery
//          time, so FleetOutput makes them, not formatRecord.

#include "platform/Record.h"

#include <optional>
#include <string>

namespace plovex::cli {

enum class OutputFormat { Text, Csv, Jsonl, Influx };
enum class RecordKind { Measurement, Parameter };

// "text", "csv", "jsonl", "influx"; nullopt for anything else.
std::optional<OutputFormat> parseOutputFormat(const std::string& name);

// The kind of record a notification of that name carries; nullopt for other names.
std::optional<RecordKind> recordKindOf(const std::string& notificationName);

// The csv header line (with its newline).
std::string csvHeader();

// One record as a line in the given format (with its newline); "" for influx.
std::string formatRecord(OutputFormat format, RecordKind kind, const platform::Record& record);

} // namespace plovex::cli
