// plovex-cli read-param: reads one EEPROM parameter of the board and prints
// its value alone, in decimal.

#include "cli/CommandSupport.h"
#include "cli/Commands.h"
#include "cli/OneShot.h"
#include "params/BoardParameters.h"
#include "platform/Args.h"

#include <cstdio>
#include <iostream>

namespace plovex::cli {

namespace readparamcommand {

constexpr const char* kName = "read-param";

int run(const Words& words);

} // namespace readparamcommand

const Command readParamCommand{
    .name = readparamcommand::kName,
    .synopsis = "ADDR",
    .summary = "read one EEPROM parameter of the board",
    .usage = " [--port PATH | --simulate]\n"
             "\n"
             "Reads the board's EEPROM parameter ADDR (0..255, decimal or 0x-hex) and\n"
             "prints its value alone, in decimal, on one line. The value counts only when\n"
             "its reply stood alone on the line and a second read agrees with it;\n"
             "otherwise ADDR is asked for again (up to 6 requests, of which 3 may go\n"
             "unanswered) and in the end named as unreadable.\n"
             "Exit status: 0 done, 1 the port cannot be opened or the parameter could not\n"
             "be read, 2 bad usage.\n"
             "\n" +
             portOptionsHelp(),
    .run = readparamcommand::run,
};

namespace readparamcommand {

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

    VerifiedRead why{};
    const auto value = params::readParameter(session->port(), static_cast<int>(*address), &why);
    if (!value)
        return report(kName,
                      "the board on " + session->path() + ": parameter " + std::to_string(*address) +
                          " could not be read: " + params::readFailureText(why),
                      kExitFailed);
    writeOut(std::to_string(*value) + "\n");
    return kExitOk;
}

} // namespace readparamcommand

} // namespace plovex::cli
