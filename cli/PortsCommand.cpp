// plovex-cli ports: the serial ports the monitor would offer, one per line,
// name then path (separated by a tab).

#include "cli/CommandSupport.h"
#include "cli/Commands.h"
#include "discovery/PortDiscovery.h"
#include "platform/Args.h"
#include "platform/Console.h"

#include <cstdio>
#include <iostream>

namespace plovex::cli {

namespace portscommand {

constexpr const char* kName = "ports";

int run(const Words& words);

} // namespace portscommand

const Command portsCommand{
    .name = portscommand::kName,
    .synopsis = "[--sysfs-root DIR]",
    .summary = "list the serial ports the monitor offers",
    .usage = "\n"
             "\n"
             "Lists the serial ports (and running simulated boards) that the monitor\n"
             "offers, one per line: name, a tab, the callout device path.\n"
             "The discovery's own console lines go to standard error.\n"
             "\n"
             "  --sysfs-root DIR   read the kernel's device tree from DIR (default /sys)\n",
    .run = portscommand::run,
};

namespace portscommand {

int run(const Words& words)
{
    const ParsedArgs args = parseArgs(words, {"sysfs-root"}, {});
    if (args.error.empty() && args.has("help")) {
        std::cout << helpText(portsCommand);
        return kExitOk;
    }
    std::string error = args.error;
    if (error.empty() && !args.positional.empty())
        error = "unexpected argument '" + args.positional.front() + "'";
    const auto sysfsRoot = args.option("sysfs-root");
    if (error.empty() && sysfsRoot && sysfsRoot->empty())
        error = "--sysfs-root needs a folder";
    if (!error.empty())
        return usageError(kName, error);

    DiscoveryRoots roots;
    if (sysfsRoot)
        roots.sysfs = *sysfsRoot;
    int status = 0;
    std::vector<PortEntry> ports;
    {
        // The discovery's console lines go to standard error, so that the
        // listing alone remains on standard output.
        platform::ConsoleRedirect toStderr(platform::consoleLinesTo(stderr));
        ports = listPorts(roots, &status);
    }
    for (const auto& port : ports)
        std::cout << port.name << '\t' << port.path << '\n';
    std::cout.flush();
    if (status != 0)
        return kExitFailed;
    if (ports.empty())
        notice(kName, "no serial ports found");
    return kExitOk;
}

} // namespace portscommand

} // namespace plovex::cli
