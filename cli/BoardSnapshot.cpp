#include "cli/BoardSnapshot.h"

#include "cli/CommandSupport.h"
#include "cli/PortSession.h"
#include "discovery/SerialRegistry.h"
#include "platform/Args.h"

namespace plovex::cli {

std::optional<params::BoardParameters> readBoardParameters(const char* command, PortSession& session,
                                                           bool requireAll)
{
    // Where all are needed, the first that cannot be read ends it: a silent
    // board costs seconds, not a minute.
    auto board = params::readParameters(session.port(), {}, requireAll);
    auto unread = board.unread();
    if (unread.empty())
        return board;
    if (requireAll)
        unread.resize(1); // the rest were not asked for
    report(command,
           "the board on " + session.path() + " did not answer for parameter" + (unread.size() > 1 ? "s " : " ") +
               params::listAddresses(unread) + " (asked " + std::to_string(params::kReadAttempts) + " times)",
           kExitFailed);
    if (requireAll)
        return std::nullopt;
    return board;
}

params::Snapshot snapshotOf(const params::BoardParameters& board, const PortSession& session)
{
    return params::makeSnapshot(board, session.path(), stableLinkTo(session.path()));
}

} // namespace plovex::cli
