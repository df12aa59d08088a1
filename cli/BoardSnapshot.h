#pragma once
// What the parameter commands and the upload share: reading the board's 16
// parameters through a port session and making a snapshot of them.

#include "params/BoardParameters.h"
#include "params/Snapshot.h"

#include <optional>

namespace plovex::cli {

class PortSession;

// Reads parameters 0..15, each verified. At the first that cannot be read it
// stops, names it and says why on standard error ("plovex-cli COMMAND: ...")
// and returns nullopt.
std::optional<params::BoardParameters> readBoardParameters(const char* command, PortSession& session);

// A snapshot of what was read, with the session's port path and the stable
// name of its device where there is one.
params::Snapshot snapshotOf(const params::BoardParameters& board, const PortSession& session);

} // namespace plovex::cli
