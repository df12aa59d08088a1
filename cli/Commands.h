#pragma once
// The commands of plovex-cli. Each command file registers its command with
// PLOVEX_CLI_COMMAND; a command takes the words after its name and returns
// the process's exit code (see Args.h).

#include <string>
#include <vector>

namespace plovex::cli {

using Words = std::vector<std::string>;
using CommandFn = int (*)(const Words&);

struct CommandInfo {
    const char* name;
    const char* synopsis; // "read-param ADDR"
    const char* summary;  // one line
    CommandFn run;
};

bool registerCommand(const CommandInfo& info);
const std::vector<CommandInfo>& registeredCommands();

} // namespace plovex::cli

#define PLOVEX_CLI_COMMAND(ident, name, synopsis, summary, fn) \
    static const bool plovexCliRegistered_##ident = ::plovex::cli::registerCommand({name, synopsis, summary, fn})
