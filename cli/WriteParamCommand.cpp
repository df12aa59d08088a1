// plovex-cli write-param: writes one EEPROM parameter of the board after the
// same confirmation the window asks for, and reads it back.

#include "cli/CommandSupport.h"
#include "cli/Commands.h"
#include "cli/OneShot.h"
#include "link/BoardFacts.h"
#include "params/BoardParameters.h"
#include "platform/Args.h"

#include <cstdint>
#include <iostream>
#include <limits>

namespace plovex::cli {

namespace writeparamcommand {

constexpr const char* kName = "write-param";

int run(const Words& words);

} // namespace writeparamcommand

const Command writeParamCommand{
    .name = writeparamcommand::kName,
    .synopsis = "ADDR VALUE",
    .summary = "write one EEPROM parameter of the board, after confirmation",
    .usage = " [--yes] [--port PATH | --simulate]\n"
             "\n"
             "Writes VALUE into the board's EEPROM parameter ADDR, then reads it back.\n"
             "ADDR is a parameter from 0 to 15 and VALUE a whole number from -32768 to\n"
             "32767 (decimal, or 0x-hex up to 0x7FFF), as the window takes them; anything\n"
             "else is refused and nothing is sent.\n"
             "On a terminal the command asks for confirmation first; answer y or yes.\n"
             "The board does not acknowledge a write: the parameter is read back as\n"
             "read-param reads it, and the command says what the board holds.\n"
             "Exit status: 0 written and read back as written, 1 the port cannot be\n"
             "opened, the write was not confirmed, or the board does not hold VALUE\n"
             "afterwards or could not be read back (the value it holds is named),\n"
             "2 bad usage (also: no terminal to ask on and no --yes).\n"
             "\n"
             "  --yes         write without asking (needed when standard input is not a terminal)\n" +
             portOptionsHelp(),
    .run = writeparamcommand::run,
};

namespace writeparamcommand {

int run(const Words& words)
{
    const OneShot call(writeParamCommand, words, {{"ADDR", "VALUE"}, {}, {"yes"}});
    if (call.ended())
        return *call.ended();
    const ParsedArgs& args = call.args();
    const auto address = parseInteger(args.positional[0], 0, board::kParameterCount - 1);
    if (!address)
        return usageError(kName, "ADDR must be a whole number from 0 to 15, not '" + args.positional[0] + "'");
    const auto given = parseInteger(args.positional[1], std::numeric_limits<int16_t>::min(),
                                    std::numeric_limits<int16_t>::max());
    if (!given)
        return usageError(kName, "VALUE must be a whole number from -32768 to 32767, not '" + args.positional[1] + "'");
    const bool confirmed = args.has("yes");
    if (!confirmed && !stdinIsTerminal())
        return usageError(kName, "standard input is not a terminal to confirm on; pass --yes to write without asking");

    const auto value = static_cast<int16_t>(*given);
    const int addr = static_cast<int>(*address);
    const std::string description(board::parameterDescription(addr));

    auto session = call.openPort();
    if (!session)
        return kExitFailed;

    if (!confirmed) {
        const std::string question = "Do you really want to write " + std::to_string(value) + " to parameter " +
                                     std::to_string(addr) + " - " + description + "? [y/N] ";
        if (!askYesNo(question))
            return report(kName, "not confirmed; nothing was written", kExitFailed);
    }
    const auto checks = params::writeAndCheck(session->port(), {params::Change{addr, 0, value}});
    if (std::string failed = params::failedWrites(checks); !failed.empty()) {
        failed.pop_back(); // the newline
        return report(kName, "the board on " + session->path() + ": " + failed, kExitFailed);
    }
    writeOut("Wrote " + std::to_string(value) + " to parameter " + std::to_string(addr) +
             (description.empty() ? std::string() : " - " + description) + "; it reads back as written.\n");
    return kExitOk;
}

} // namespace writeparamcommand

} // namespace plovex::cli
