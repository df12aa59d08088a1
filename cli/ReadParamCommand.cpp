// plovex-cli read-param: reads one EEPROM parameter of the board and prints
// its value alone, in decimal.

#include "cli/CommandSupport.h"
#include "cli/Commands.h"
#include "cli/OneShot.h"
#include "platform/Args.h"

#include <cstdio>
#include <iostream>

namespace plovex::cli {

namespace {

constexpr const char* kName = "read-param";

int run(const Words& words);

} // namespace

const Command readParamCommand{
    .name = kName,
    .synopsis = "ADDR",
    .summary = "read one EEPROM parameter of the board",
    .usage = " [--port PATH | --simulate]\n"
             "\n"
             "Reads the board's EEPROM parameter ADDR (0..255, decimal or 0x-hex) once\n"
             "and prints its value alone, in decimal, on one line.\n"
             "Exit status: 0 done, 1 the port cannot be opened or the board did not\n"
             "answer, 2 bad usage.\n"
             "\n" +
             portOptionsHelp(),
    .run = run,
};

namespace {

int run(const Words& words)
{
    const OneShot call(readParamCommand, words, {{"ADDR"}});
    if (call.ended())
        return *call.ended();
    const ParsedArgs& args = call.args();
    const auto address = parseInteger(args.positional[0], 0, 255);
    if (!address)
        return usageError(kName, "ADDR must be a whole number from 0 to 255, not '" + args.positional[0] + "'");

    auto session = call.openPort();
    if (!session)
        return kExitFailed;

    int16_t value = 0;
    if (session->port().readEEPROM(static_cast<int>(*address), &value) != 1)
        return report(kName,
                      "the board on " + session->path() + " did not answer the read of parameter " +
                          std::to_string(*address),
                      kExitFailed);
    writeOut(std::to_string(value) + "\n");
    return kExitOk;
}

} // namespace

} // namespace plovex::cli
