// plovex-cli: the headless monitor and the maintenance tool.

#include "cli/CommandSupport.h"
#include "cli/Commands.h"
#include "platform/Args.h"

#include <algorithm>
#include <cstdio>
#include <exception>
#include <iostream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

using namespace plovex::cli;

namespace {

// Every command, in the order the usage lists them.
const Command* const kCommands[] = {
    &monitorCommand,
    &captureCommand,
    &logCommand,
    &portsCommand,
    &readParamCommand,
    &writeParamCommand,
    &paramsCommand,
    &paramsSaveCommand,
    &paramsRestoreCommand,
    &uploadCommand,
    &rebootCommand,
    &diagCommand,
    &simulateCommand,
};

void printUsage(std::ostream& out)
{
    out << "usage: plovex-cli COMMAND [OPTIONS]\n"
           "       plovex-cli --help | --version\n\nCommands:\n";
    std::size_t width = 0;
    for (const Command* c : kCommands)
        width = std::max(width, synopsisLine(*c).size());
    for (const Command* c : kCommands) {
        std::string synopsis = synopsisLine(*c);
        // Two blanks at least between the two, so that tools (the shell
        // completion) can tell where the synopsis ends.
        synopsis.resize(width, ' ');
        out << "  " << synopsis << "  " << c->summary << "\n";
    }
    out << "\nRun 'plovex-cli COMMAND --help' for a command's options.\n"
           "Exit status: 0 done, 1 failed, 2 bad usage or no port to use.\n";
}

// The number of words of args (from the command's first) that make up
// command's name, or 0 when they do not begin with it.
std::size_t nameLength(const Command& command, const std::vector<std::string>& args)
{
    std::istringstream name(command.name);
    std::size_t n = 0;
    for (std::string word; name >> word; ++n) {
        if (n >= args.size() || args[n] != word)
            return 0;
    }
    return n;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2)
        return usageError("", "no command given");
    const std::string name = argv[1];
    if (name == "--help" || name == "-h" || name == "help") {
        printUsage(std::cout);
        return kExitOk;
    }
    if (name == "--version") {
        std::cout << "plovex-cli " PLOVEX_VERSION "\n";
        return kExitOk;
    }
    // The command whose name takes the most words: "params save FILE" is
    // params save, "params --format csv" is params.
    const Words args(argv + 1, argv + argc);
    const Command* command = nullptr;
    std::size_t taken = 0;
    for (const Command* c : kCommands) {
        if (const std::size_t n = nameLength(*c, args); n > taken)
            command = c, taken = n;
    }
    if (!command)
        return usageError("", "unknown command '" + name + "'");
    try {
        return command->run(Words(args.begin() + static_cast<std::ptrdiff_t>(taken), args.end()));
    } catch (const std::exception& e) {
        return report(command->name, e.what(), kExitFailed);
    }
}
