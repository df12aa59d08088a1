// plovex-cli params restore: writes the parameters of a snapshot file back
// to the board, only those that differ, and reads each back.

#include "cli/BoardSnapshot.h"
#include "cli/CommandSupport.h"
#include "cli/Commands.h"
#include "cli/OneShot.h"
#include "platform/Args.h"
#include "params/PrintableText.h"

namespace plovex::cli {

namespace paramsrestorecommand {

constexpr const char* kName = "params restore";

int run(const Words& words);

} // namespace paramsrestorecommand

const Command paramsRestoreCommand{
    .name = paramsrestorecommand::kName,
    .synopsis = "FILE [--yes] [--dry-run]",
    .summary = "write back the parameters of a snapshot that differ, and check them",
    .usage = " [--port PATH | --simulate]\n"
             "\n"
             "Reads the board's parameters, lists those whose value differs from the\n"
             "snapshot FILE (parameter, description, board value, file value), asks once\n"
             "on a terminal, then writes only those and reads each back. A FILE that is\n"
             "not a valid snapshot (not JSON, another format version, an address outside\n"
             "0..15, a value outside -32768..32767, an address twice) is refused and\n"
             "nothing is written.\n"
             "Exit status: 0 restored (or nothing differed), 1 FILE is refused, the port\n"
             "cannot be opened, a parameter could not be read, the restore was not\n"
             "confirmed, or a parameter did not take the value written (they are named),\n"
             "2 bad usage (also: no terminal to ask on and no --yes).\n"
             "\n"
             "  --yes         write without asking (needed when standard input is not a terminal)\n"
             "  --dry-run     list the differences and write nothing\n" +
             portOptionsHelp(),
    .run = paramsrestorecommand::run,
};

namespace paramsrestorecommand {

int run(const Words& words)
{
    const OneShot call(paramsRestoreCommand, words, {{"FILE"}, {}, {"yes", "dry-run"}});
    if (call.ended())
        return *call.ended();
    const ParsedArgs& args = call.args();
    const std::string file = args.positional[0];
    const bool dryRun = args.has("dry-run"), confirmed = args.has("yes");
    if (!dryRun && !confirmed && !stdinIsTerminal())
        return usageError(kName, "standard input is not a terminal to confirm on; pass --yes to write without asking");
    std::string error;
    const auto snapshot = params::loadSnapshot(file, &error);
    if (!snapshot)
        return report(kName, error + "; nothing was written", kExitFailed);

    auto session = call.openPort();
    if (!session)
        return kExitFailed;
    const auto board = readBoardParameters(kName, *session);
    if (!board)
        return report(kName, "nothing was written", kExitFailed);
    const auto changes = params::differences(*board, *snapshot);
    if (changes.empty()) {
        writeOut("The board on " + session->path() + " holds the values of " + file + "; nothing to write.\n");
        return kExitOk;
    }
    // What the file says of itself is printed escaped: a control character
    // in it could hide or fake lines of the list below.
    writeOut(file + " (saved " +
             (snapshot->saved.empty() ? "at an unknown time" : params::printableText(snapshot->saved)) +
             (snapshot->portPath.empty() ? "" : " from " + params::printableText(snapshot->portPath)) +
             ") differs from the board on " + session->path() + ":\n" + params::changeTable(changes));
    if (dryRun) {
        writeOut("Dry run: nothing was written.\n");
        return kExitOk;
    }
    const std::string count = std::to_string(changes.size());
    if (!confirmed && !askYesNo("Write " + count + (changes.size() > 1 ? " parameters" : " parameter") +
                                " to the board? [y/N] "))
        return report(kName, "not confirmed; nothing was written", kExitFailed);

    const auto checks = params::writeAndCheck(session->port(), changes);
    if (const std::string failed = params::failedWrites(checks); !failed.empty()) {
        std::string list = failed;
        list.pop_back(); // the last newline
        return report(kName, "these parameters did not take the value written:\n" + list, kExitFailed);
    }
    writeOut("Restored " + count + (changes.size() > 1 ? " parameters" : " parameter") + " from " + file +
             "; each read back as written.\n");
    return kExitOk;
}

} // namespace paramsrestorecommand

} // namespace plovex::cli
