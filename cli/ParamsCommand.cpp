// plovex-cli params: reads the board's 16 EEPROM parameters and prints them
// with their descriptions.

#include "cli/BoardSnapshot.h"
#include "cli/CommandSupport.h"
#include "cli/Commands.h"
#include "cli/OneShot.h"
#include "link/BoardFacts.h"
#include "platform/Args.h"
#include "record/CsvField.h"

#include <cstdio>
#include <iostream>

namespace plovex::cli {

namespace paramscommand {

constexpr const char* kName = "params";

int run(const Words& words);

} // namespace paramscommand

const Command paramsCommand{
    .name = paramscommand::kName,
    .synopsis = "[--format text|csv|json]",
    .summary = "print the board's 16 EEPROM parameters",
    .usage = " [--port PATH | --simulate]\n"
             "\n"
             "Reads the board's EEPROM parameters 0 to 15 and prints each with its\n"
             "description. A value counts only when its reply stood alone on the line and\n"
             "a second read agrees with it; otherwise the parameter is asked for again (up\n"
             "to 6 requests, of which 3 may go unanswered). The first parameter that cannot\n"
             "be read ends the command: it is named with the reason and nothing is printed.\n"
             "'plovex-cli params save FILE' keeps them in a snapshot file and\n"
             "'plovex-cli params restore FILE' writes such a file back.\n"
             "Exit status: 0 all read, 1 the port cannot be opened or a parameter could\n"
             "not be read, 2 bad usage.\n"
             "\n"
             "  --format F    text (default): parameter, description and value in columns;\n"
             "                csv: a header line, then address,description,value rows;\n"
             "                json: a parameter snapshot, as 'params save' writes it\n" +
             portOptionsHelp(),
    .run = paramscommand::run,
};

namespace paramscommand {

std::string formatBoard(const std::string& format, const params::BoardParameters& board, const PortSession& session)
{
    if (format == "json")
        return params::formatSnapshot(snapshotOf(board, session));
    std::string out = format == "csv" ? "address,description,value\n" : "";
    for (int a = 0; a < board::kParameterCount; ++a) {
        const auto& value = board.values[static_cast<std::size_t>(a)];
        const std::string description(board::parameterDescription(a));
        if (format == "csv") {
            out += std::to_string(a) + "," + record::csvField(description) + "," +
                   (value ? std::to_string(*value) : std::string()) + "\n";
            continue;
        }
        char line[96];
        std::snprintf(line, sizeof line, "%2d  %-24s %s\n", a, description.c_str(),
                      value ? std::to_string(*value).c_str() : "(no answer)");
        out += line;
    }
    return out;
}

int run(const Words& words)
{
    const OneShot call(paramsCommand, words, {{}, {"format"}});
    if (call.ended())
        return *call.ended();
    const ParsedArgs& args = call.args();
    const std::string format = args.option("format").value_or("text");
    if (format != "text" && format != "csv" && format != "json")
        return usageError(kName, "--format must be text, csv or json, not '" + format + "'");

    auto session = call.openPort();
    if (!session)
        return kExitFailed;
    // A partial table could be taken for the board's (and saved, and
    // restored): what cannot be read whole is not printed.
    const auto board = readBoardParameters(kName, *session);
    if (!board)
        return kExitFailed;
    writeOut(formatBoard(format, *board, *session));
    return kExitOk;
}

} // namespace paramscommand

} // namespace plovex::cli
