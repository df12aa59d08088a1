// plovex-cli reboot: sends the board the reboot frame.

#include "cli/CommandSupport.h"
#include "cli/Commands.h"
#include "cli/OneShot.h"
#include "platform/Args.h"

#include <iostream>

namespace plovex::cli {

namespace rebootcommand {

constexpr const char* kName = "reboot";

int run(const Words& words);

} // namespace rebootcommand

const Command rebootCommand{
    .name = rebootcommand::kName,
    .synopsis = "",
    .summary = "tell the board to reboot",
    .usage = " [--port PATH | --simulate]\n"
             "\n"
             "Sends the board the reboot frame (0x9B 0xA5). The board does not answer it.\n"
             "Exit status: 0 sent, 1 the port cannot be opened or went away, 2 bad usage.\n"
             "\n" +
             portOptionsHelp(),
    .run = rebootcommand::run,
};

namespace rebootcommand {

int run(const Words& words)
{
    const OneShot call(rebootCommand, words, {});
    if (call.ended())
        return *call.ended();
    auto session = call.openPort();
    if (!session)
        return kExitFailed;
    session->port().sendReboot();
    if (!session->port().portOpenOK())
        return report(kName, session->path() + " went away; the reboot frame may not have gone out", kExitFailed);
    writeOut("Reboot frame sent to " + session->path() + ".\n");
    return kExitOk;
}

} // namespace rebootcommand

} // namespace plovex::cli
