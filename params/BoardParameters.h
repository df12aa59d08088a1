#pragma once
// The board's parameters 0..15 read as a whole, compared with a snapshot,
// and a snapshot's values written back and checked. The board acknowledges
// nothing: a read that times out is asked again, and a write is known to
// have taken only when the value read back is the one written.

#include "params/Snapshot.h"

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace plovex {
class commPort;
}

namespace plovex::params {

// How often an address is asked for before it counts as unread.
inline constexpr int kReadAttempts = 3;

struct BoardParameters {
    std::array<std::optional<int16_t>, 16> values;

    std::vector<int> unread() const;
    bool complete() const { return unread().empty(); }
};

// Reads one address, asking again after a timeout, up to attempts times.
std::optional<int16_t> readParameter(commPort& port, int address, int attempts = kReadAttempts);
// Reads addresses 0..15 in order, each with readParameter. keepGoing, when
// given, is asked before each address; reading stops once it says no, and
// with stopAtUnread at the first address that could not be read.
BoardParameters readParameters(commPort& port, const std::function<bool()>& keepGoing = {},
                               bool stopAtUnread = false);

// "3" / "3 and 7" / "3, 7 and 12"
std::string listAddresses(const std::vector<int>& addresses);

// A snapshot of what was read (complete() must hold), with the port's path,
// its stable name (nullopt: none) and the time now.
Snapshot makeSnapshot(const BoardParameters& board, const std::string& portPath,
                      const std::optional<std::string>& stableName);

struct Change {
    int address = 0;
    int16_t board = 0; // the value the board holds
    int16_t file = 0;  // the value the snapshot holds
};
// The snapshot's entries whose value differs from the board's, in address
// order. Every address of the snapshot must have been read.
std::vector<Change> differences(const BoardParameters& board, const Snapshot& snapshot);

// One line per change: address, description, board value, file value, in
// columns under a heading.
std::string changeTable(const std::vector<Change>& changes);

struct WriteCheck {
    Change change;
    std::optional<int16_t> readBack; // nullopt: the board did not answer
    bool took() const { return readBack && *readBack == change.file; }
};
// Writes each change's file value, then reads every written address back.
std::vector<WriteCheck> writeAndCheck(commPort& port, const std::vector<Change>& changes);

// The changes that did not take, one line each, for a report.
std::string failedWrites(const std::vector<WriteCheck>& checks);

} // namespace plovex::params
