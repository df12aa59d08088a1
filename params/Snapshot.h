#pragma once
// A snapshot of the board's EEPROM parameters in a JSON file:
//
//   {
//     "format": "plovex-parameters",
//     "version": 1,
//     "saved": "2026-12-07T14:03:12+01:00",
//     "port": {"path": "/dev/ttyUSB0", "stableName": "/dev/serial/by-id/usb-FTDI_...-port0"},
//     "parameters": [
//       {"address": 0, "value": 3, "description": "Status Bits"},
//       ...
//     ]
//   }
//
// "stableName" is null when the port has none. A file is taken only when it
// is this format's version 1, every address is a whole number from 0 to 15
// and appears once, and every value is a whole number from -32768 to 32767;
// the descriptions are for people and are not read back. A file may hold
// fewer than the 16 parameters: a restore then touches only those it holds.

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace plovex::params {

inline constexpr const char* kSnapshotFormat = "plovex-parameters";
inline constexpr int kSnapshotVersion = 1;

struct SnapshotEntry {
    int address = 0;
    int16_t value = 0;
    std::string description;
};

struct Snapshot {
    std::string saved; // ISO 8601 local time with its offset from UTC
    std::string portPath;
    std::optional<std::string> stableName;
    std::vector<SnapshotEntry> parameters; // in address order
};

std::string formatSnapshot(const Snapshot& snapshot);
// nullopt, and in *error what makes text no snapshot, when it is not one.
std::optional<Snapshot> parseSnapshot(std::string_view text, std::string* error);

// Reads and checks the snapshot file at path; nullopt and the reason
// (naming the file) in *error.
std::optional<Snapshot> loadSnapshot(const std::string& path, std::string* error);
// Writes it to path atomically. An existing file is replaced only when
// replace is true. False and the reason (naming the file) in *error.
bool saveSnapshot(const std::string& path, const Snapshot& snapshot, bool replace, std::string* error);

} // namespace plovex::params
