// plovex-cli: the headless monitor and the maintenance tool.

#include "cli/Args.h"
#include "cli/CommandSupport.h"
#include "cli/Commands.h"

#include <algorithm>
#include <cstdio>
#include <exception>
#include <iostream>
#include <iterator>
#include <string>

using namespace plovex::cli;

namespace {

struct CommandEntry {
    const char* name;
    const char* synopsis; // "read-param ADDR"
    const char* summary;  // one line
    int (*run)(const Words&);
};

// Every command, in the order the usage lists them.
const CommandEntry kCommands[] = {
    {"monitor", "monitor [--format F]", "print the board's records as they are delivered", monitorCommand},
    {"ports", "ports [--sysfs-root DIR]", "list the serial ports the monitor offers", portsCommand},
    {"read-param", "read-param ADDR", "read one EEPROM parameter of the board", readParamCommand},
    {"write-param", "write-param ADDR VALUE", "write one EEPROM parameter of the board, after confirmation",
     writeParamCommand},
    {"upload", "upload IMAGE", "send a firmware image to the board", uploadCommand},
    {"reboot", "reboot", "tell the board to reboot", rebootCommand},
    {"diag", "diag [--seconds S]", "answer the diagnostic requests on the line", diagCommand},
    {"simulate", "simulate [--link PATH] [--paced]", "run a simulated board on a pseudo-terminal", simulateCommand},
};

void printUsage(std::ostream& out)
{
    out << "usage: plovex-cli COMMAND [OPTIONS]\n"
           "       plovex-cli --help | --version\n\nCommands:\n";
    std::size_t width = 0;
    for (const auto& c : kCommands)
        width = std::max(width, std::string(c.synopsis).size());
    for (const auto& c : kCommands) {
        std::string synopsis = c.synopsis;
        // Two blanks at least between the two, so that tools (the shell
        // completion) can tell where the synopsis ends.
        synopsis.resize(width, ' ');
        out << "  " << synopsis << "  " << c.summary << "\n";
    }
    out << "\nRun 'plovex-cli COMMAND --help' for a command's options.\n"
           "Exit status: 0 done, 1 failed, 2 bad usage or no port to use.\n";
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
    const auto* command =
        std::find_if(std::begin(kCommands), std::end(kCommands), [&](const CommandEntry& c) { return name == c.name; });
    if (command == std::end(kCommands))
        return usageError("", "unknown command '" + name + "'");
    try {
        return command->run(Words(argv + 2, argv + argc));
    } catch (const std::exception& e) {
        return report(command->name, e.what(), kExitFailed);
    }
}
