// plovex-cli: the headless monitor and the maintenance tool.

#include "cli/Args.h"
#include "cli/Commands.h"

#include <algorithm>
#include <cstdio>
#include <iostream>

namespace plovex::cli {

namespace {
std::vector<CommandInfo>& registry()
{
    static std::vector<CommandInfo> r;
    return r;
}

// Commands are listed in this order; any others follow by name.
const char* kOrder[] = {"monitor", "ports", "read-param", "write-param", "upload", "reboot", "diag", "simulate"};

int rank(const std::string& name)
{
    for (int i = 0; i < static_cast<int>(std::size(kOrder)); ++i)
        if (name == kOrder[i])
            return i;
    return static_cast<int>(std::size(kOrder));
}
} // namespace

bool registerCommand(const CommandInfo& info)
{
    registry().push_back(info);
    return true;
}

const std::vector<CommandInfo>& registeredCommands()
{
    auto& r = registry();
    std::stable_sort(r.begin(), r.end(), [](const CommandInfo& a, const CommandInfo& b) {
        const int ra = rank(a.name), rb = rank(b.name);
        return ra != rb ? ra < rb : std::string(a.name) < b.name;
    });
    return r;
}

} // namespace plovex::cli

namespace {

void printUsage(std::ostream& out)
{
    out << "usage: plovex-cli COMMAND [OPTIONS]\n\nCommands:\n";
    std::size_t width = 0;
    for (const auto& c : plovex::cli::registeredCommands())
        width = std::max(width, std::string(c.synopsis).size());
    for (const auto& c : plovex::cli::registeredCommands()) {
        std::string syn = c.synopsis;
        syn.resize(width, ' ');
        out << "  " << syn << " " << c.summary << "\n";
    }
    out << "\nRun 'plovex-cli COMMAND --help' for a command's options.\n";
}

} // namespace

int main(int argc, char** argv)
{
    using namespace plovex::cli;
    if (argc < 2) {
        printUsage(std::cerr);
        return kExitUsage;
    }
    const std::string name = argv[1];
    if (name == "--help" || name == "-h" || name == "help") {
        printUsage(std::cout);
        return kExitOk;
    }
    if (name == "--version") {
        std::cout << "plovex-cli " PLOVEX_VERSION "\n";
        return kExitOk;
    }
    for (const auto& c : registeredCommands()) {
        if (name != c.name)
            continue;
        try {
            return c.run(Words(argv + 2, argv + argc));
        } catch (const std::exception& e) {
            std::cerr << "plovex-cli " << name << ": " << e.what() << "\n";
            return kExitFailed;
        }
    }
    std::cerr << "plovex-cli: unknown command '" << name << "'\n\n";
    printUsage(std::cerr);
    return kExitUsage;
}
