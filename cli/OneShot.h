#pragma once
// The start the one-shot commands share (read-param, write-param, params,
// params save, params restore, upload, reboot): their words read as every
// port command reads them, and, once the command has checked its own, the
// port opened with no loop running on it.
//
//   OneShot call(readParamCommand, words, {{"ADDR"}});
//   if (call.ended())
//       return *call.ended();         // --help, or a usage error already told
//   ... the command's own checks of call.args() ...
//   auto session = call.openPort();
//   if (!session)
//       return kExitFailed;           // why is told already

#include "cli/Commands.h"
#include "cli/PortSession.h"

#include <memory>
#include <optional>

namespace plovex::cli {

class OneShot {
public:
    OneShot(const Command& command, const Words& words, const PortSyntax& syntax);

    // The exit code when the command ends before it reaches the board.
    std::optional<int> ended() const { return ended_; }
    const ParsedArgs& args() const { return args_; }

    // Makes the session and opens its line; null, after saying why on
    // standard error, when either fails.
    std::unique_ptr<PortSession> openPort() const;

private:
    const Command& command_;
    ParsedArgs args_;
    PortChoice choice_;
    std::optional<int> ended_;
};

} // namespace plovex::cli
