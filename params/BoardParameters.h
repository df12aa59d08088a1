#pragma once
// The board's parameters 0..15 read as a whole, compared with a snapshot,
// and a snapshot's values written back and checked. The board acknowledges
// nothing and its replies carry no check: every read here is a verified one
// (commPort::readEEPROMVerified), and a write is known to have taken only
// when the value read back is the one written.

#include "link/commPort.h"
#include "params/Snapshot.h"

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace plovex::params {

// An address that could not be read, and why.
struct Unread {
    int address = 0;
    VerifiedRead why = VerifiedRead::NoAnswer;
};

struct BoardParameters {
    std::array<std::optional<int16_t>, 16> values;
    std::optional<Unread> failure; // where reading stopped, when an address could not be read

    std::vector<int> unread() const; // the addresses without a value (failed or never asked)
    bool complete() const { return unread().empty(); }
};

// Reads one address (verified); nullopt, and the reason in *why, when it
// could not be read.
std::optional<int16_t> readParameter(commPort& port, int address, VerifiedRead* why = nullptr);
// Reads addresses 0..15 in order, each with readParameter, and stops at the
// first that cannot be read: a silent board costs seconds, not a minute, and
// no caller can use a partial set. keepGoing, when given, is asked before
// each address; reading stops once it says no.
BoardParameters readParameters(commPort& port, const std::function<bool()>& keepGoing = {});

// Why an address could not be read, for a message: "no answer", ...
std::string readFailureText(VerifiedRead why);
// "parameter 3 could not be read: no answer" for the failure of board.
std::string unreadText(const BoardParameters& board);

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
    std::optional<int16_t> readBack; // nullopt: it could not be read back (why says why)
    VerifiedRead why = VerifiedRead::Agreed;
    bool took() const { return readBack && *readBack == change.file; }
};
// Writes each change's file value, then reads every written address back.
std::vector<WriteCheck> writeAndCheck(commPort& port, const std::vector<Change>& changes);

// The changes that did not take, one line each, for a report.
std::string failedWrites(const std::vector<WriteCheck>& checks);

} // namespace plovex::params
