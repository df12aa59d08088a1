// plovex-cli write-param: writes one EEPROM parameter of the board after the
// same confirmation the window asks for.

#include "cli/CommandSupport.h"
#include "cli/Commands.h"
#include "cli/OneShot.h"
#include "link/BoardFacts.h"
#include "platform/Args.h"

#include <cstdint>
#include <iostream>
#include <limits>

namespace plovex::cli {

namespace {

constexpr const char* kName = "write-param";

int run(const Words& words);

} // namespace

const Command writeParamCommand{
    .name = kName,
    .synopsis = "ADDR VALUE",
    .summary = "write one EEPROM parameter of the board, after confirmation",
    .usage = " [--yes] [--port PATH | --simulate]\n"
             "\n"
             "Writes VALUE into the board's EEPROM parameter ADDR (0..255; 16 and above\n"
             "go out as the extended write frame). VALUE is a whole number in the signed\n"
             "32-bit range, decimal or 0x-hex; like the window, only its low 16 bits are\n"
             "sent, as a signed value (70000 is sent as 4464, -1 as 0xFFFF).\n"
             "On a terminal the command asks for confirmation first; answer y or yes.\n"
             "The board does not acknowledge a write: read-param shows whether it took.\n"
             "Exit status: 0 sent, 1 the port cannot be opened, it went away, or the\n"
             "write was not confirmed, 2 bad usage (also: no terminal to ask on and no --yes).\n"
             "\n"
             "  --yes         write without asking (needed when standard input is not a terminal)\n" +
             portOptionsHelp(),
    .run = run,
};

namespace {

int run(const Words& words)
{
    const OneShot call(writeParamCommand, words, {{"ADDR", "VALUE"}, {}, {"yes"}});
    if (call.ended())
        return *call.ended();
    const ParsedArgs& args = call.args();
    const auto address = parseInteger(args.positional[0], 0, 255);
    if (!address)
        return usageError(kName, "ADDR must be a whole number from 0 to 255, not '" + args.positional[0] + "'");
    const auto given = parseInteger(args.positional[1], std::numeric_limits<int32_t>::min(),
                                    std::numeric_limits<int32_t>::max());
    if (!given)
        return usageError(kName, "VALUE must be a whole number in the signed 32-bit range, not '" + args.positional[1] + "'");
    const bool confirmed = args.has("yes");
    if (!confirmed && !stdinIsTerminal())
        return usageError(kName, "standard input is not a terminal to confirm on; pass --yes to write without asking");

    // The window's value field hands the number on as a 16-bit value: only
    // the low 16 bits count, read as a signed number.
    const auto value = static_cast<int16_t>(static_cast<uint16_t>(static_cast<uint32_t>(*given) & 0xFFFFu));
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
    session->port().writeEEPROM(addr, value);
    if (!session->port().portOpenOK())
        return report(kName, session->path() + " went away; the value may not have reached the board", kExitFailed);
    writeOut("Sent " + std::to_string(value) + " to parameter " + std::to_string(addr) +
             (description.empty() ? std::string() : " - " + description) + ".\n");
    return kExitOk;
}

} // namespace

} // namespace plovex::cli
