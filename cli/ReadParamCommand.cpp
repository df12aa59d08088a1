// plovex-cli read-param: reads one EEPROM parameter of the board and prints
// its value alone, in decimal.

#include "platform/Args.h"
#include "cli/CommandSupport.h"
#include "cli/Commands.h"
#include "cli/PortSession.h"

#include <cstdio>
#include <iostream>

namespace plovex::cli {

namespace {

const std::string kUsage =
    "usage: plovex-cli read-param ADDR [--port PATH | --simulate]\n"
    "\n"
    "Reads the board's EEPROM parameter ADDR (0..255, decimal or 0x-hex) once\n"
    "and prints its value alone, in decimal, on one line.\n"
    "Exit status: 0 done, 1 the port cannot be opened or the board did not\n"
    "answer, 2 bad usage.\n"
    "\n" +
    portOptionsHelp();

} // namespace

int readParamCommand(const Words& words)
{
    const char* const name = "read-param";
    ParsedArgs args;
    PortChoice choice;
    if (auto done = beginPortCommand({name, kUsage, {"ADDR"}}, words, args, choice))
        return *done;
    const auto address = parseInteger(args.positional[0], 0, 255);
    if (!address)
        return usageError(name, "ADDR must be a whole number from 0 to 255, not '" + args.positional[0] + "'");

    auto session = openOneShotSession(name, choice);
    if (!session)
        return kExitFailed;

    int16_t value = 0;
    if (session->port().readEEPROM(static_cast<int>(*address), &value) != 1)
        return report(name,
                      "the board on " + session->path() + " did not answer the read of parameter " +
                          std::to_string(*address),
                      kExitFailed);
    writeOut(std::to_string(value) + "\n");
    return kExitOk;
}

} // namespace plovex::cli
