#pragma once
// What the parameter commands and the upload share: reading the board's 16
// parameters through a port session and making a snapshot of them.

#include "params/BoardParameters.h"
#include "params/Snapshot.h"

#include <optional>

namespace plovex::cli {

class PortSession;

// Reads parameters 0..15. When some did not answer (after the retries) it
// says which on standard error as "plovex-cli COMMAND: ..." and, with
// requireAll, returns nullopt (it stops at the first such parameter then).
std::optional<params::BoardParameters> readBoardParameters(const char* command, PortSession& session,
                                                           bool requireAll);

// A snapshot of what was read, with the session's port path and the stable
// name of its device where there is one.
params::Snapshot snapshotOf(const params::BoardParameters& board, const PortSession& session);

} // namespace plovex::cli
