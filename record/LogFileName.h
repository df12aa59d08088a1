#pragma once
// The names of a logger's files: the port's stable name and the UTC time of
// the file's first row, to the second,
//
//   ttyUSB0-20261207T101500Z.csv       a file
//   ttyUSB0-20261207T101500Z_2.csv     the second begun in that second
//   ttyUSB0-20261207T101500Z.csv.gz    compressed once closed
//   ttyUSB0-20261207T101500Z.csv.gz.part   a compression not finished
//
// so that the files of one port sort by time ("_" sorts after ".") and the
// files of other ports or programs in the same folder are never taken for
// this logger's.

#include "record/LocalTime.h"

#include <optional>
#include <string>
#include <string_view>

namespace plovex::record {

enum class LogFileKind { Csv, Gzip, PartialGzip };

struct LogFileName {
    WallClock::time_point start; // whole seconds, UTC
    int sequence = 1;            // 1: no "_N"
    LogFileKind kind = LogFileKind::Csv;
};

// "PORT-YYYYMMDDTHHMMSSZ[_N].csv" for start (to the second) and sequence.
std::string logFileName(const std::string& port, WallClock::time_point start, int sequence = 1);

// What name says, when it is one of the files of port's logger; nullopt for
// any other name.
std::optional<LogFileName> parseLogFileName(const std::string& port, std::string_view name);

// The port's name as file names can carry it: characters other than letters,
// digits, '.', '_', '+' and '-' become '_'.
std::string logFilePortName(std::string_view stableName);

} // namespace plovex::record
