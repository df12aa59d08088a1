// plovex-cli params save: reads the board's 16 EEPROM parameters and writes
// them to a snapshot file.

#include "cli/BoardSnapshot.h"
#include "cli/CommandSupport.h"
#include "cli/Commands.h"
#include "cli/OneShot.h"
#include "platform/Args.h"

#include <filesystem>

namespace plovex::cli {

namespace paramssavecommand {

constexpr const char* kName = "params save";

int run(const Words& words);

} // namespace paramssavecommand

const Command paramsSaveCommand{
    .name = paramssavecommand::kName,
    .synopsis = "FILE [--force]",
    .summary = "save the board's parameters to a snapshot file",
    .usage = " [--port PATH | --simulate]\n"
             "\n"
             "Reads the board's EEPROM parameters 0 to 15 and writes them to FILE as a\n"
             "JSON snapshot: the format version, the time, the port's path and its stable\n"
             "name (/dev/serial/by-id/...) where it has one, and each parameter's address,\n"
             "value and description. The file is written whole or not at all. Nothing is\n"
             "written unless all 16 parameters could be read.\n"
             "Exit status: 0 saved, 1 the port cannot be opened, a parameter could not\n"
             "be read, or FILE cannot be written or exists already, 2 bad usage.\n"
             "\n"
             "  --force       replace FILE if it exists\n" +
             portOptionsHelp(),
    .run = paramssavecommand::run,
};

namespace paramssavecommand {

int run(const Words& words)
{
    const OneShot call(paramsSaveCommand, words, {{"FILE"}, {}, {"force"}});
    if (call.ended())
        return *call.ended();
    const ParsedArgs& args = call.args();
    const std::string file = args.positional[0];
    if (file.empty())
        return usageError(kName, "FILE is an empty path");
    const bool replace = args.has("force");
    // Told before the board is asked: a refusal costs nothing then.
    std::error_code ec;
    if (std::filesystem::is_directory(file, ec))
        return report(kName, file + ": is a folder", kExitFailed);
    if (!replace && std::filesystem::symlink_status(file, ec).type() != std::filesystem::file_type::not_found)
        return report(kName, file + ": the file exists; pass --force to replace it", kExitFailed);

    auto session = call.openPort();
    if (!session)
        return kExitFailed;
    const auto board = readBoardParameters(kName, *session);
    if (!board)
        return report(kName, "nothing was saved", kExitFailed);
    std::string error;
    if (!params::saveSnapshot(file, snapshotOf(*board, *session), replace, &error))
        return report(kName, error, kExitFailed);
    writeOut("Saved the 16 parameters of the board on " + session->path() + " to " + file + ".\n");
    return kExitOk;
}

} // namespace paramssavecommand

} // namespace plovex::cli
