// plovex-cli reboot: sends the board the reboot frame.

#include "platform/Args.h"
#include "cli/CommandSupport.h"
#include "cli/Commands.h"
#include "cli/PortSession.h"

#include <iostream>

namespace plovex::cli {

namespace {

const std::string kUsage =
    "usage: plovex-cli reboot [--port PATH | --simulate]\n"
    "\n"
    "Sends the board the reboot frame (0x9B 0xA5). The board does not answer it.\n"
    "Exit status: 0 sent, 1 the port cannot be opened or went away, 2 bad usage.\n"
    "\n" +
    portOptionsHelp();

} // namespace

int rebootCommand(const Words& words)
{
    const char* const name = "reboot";
    ParsedArgs args;
    PortChoice choice;
    if (auto done = beginPortCommand({name, kUsage, {}}, words, args, choice))
        return *done;
    auto session = openOneShotSession(name, choice);
    if (!session)
        return kExitFailed;
    session->port().sendReboot();
    if (!session->port().portOpenOK())
        return report(name, session->path() + " went away; the reboot frame may not have gone out", kExitFailed);
    writeOut("Reboot frame sent to " + session->path() + ".\n");
    return kExitOk;
}

} // namespace plovex::cli
