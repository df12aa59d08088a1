#include "cli/BoardSnapshot.h"

#include "cli/CommandSupport.h"
#include "cli/PortSession.h"
#include "discovery/SerialRegistry.h"
#include "platform/Args.h"

namespace plovex::cli {

std::optional<params::BoardParameters> readBoardParameters(const char* command, PortSession& session)
{
    auto board = params::readParameters(session.port());
    if (board.complete())
        return board;
    report(command, "the board on " + session.path() + ": " + params::unreadText(board), kExitFailed);
    return std::nullopt;
}

params::Snapshot snapshotOf(const params::BoardParameters& board, const PortSession& session)
{
    return params::makeSnapshot(board, session.path(), stableLinkTo(session.path()));
}

} // namespace plovex::cli
