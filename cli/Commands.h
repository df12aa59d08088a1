#pragma once
// The commands of plovex-cli, one file each (<Name>Command.cpp). Each file
// defines its entry below: the words that call it, its synopsis and summary
// for the command list, its usage for --help, and the function that runs it.
// main.cpp's command table lists the entries.
// A file keeps its own names (kName, run, its helpers) in a namespace named
// after it (rebootcommand), so that a unity build can join the files.

#include <string>
#include <vector>

namespace plovex::cli {

using Words = std::vector<std::string>;

struct Command {
    // One word, or a command and its sub-command: "params save".
    const char* name;
    // What follows the name in the command list and on the usage line: "FILE [--force]".
    const char* synopsis;
    // One line, beside the synopsis in the command list.
    const char* summary;
    // The rest of --help: what the usage line goes on with after the
    // synopsis (the options the list leaves out), then what the command does.
    std::string usage;
    // Takes the words after the name and returns the exit code (platform/Args.h).
    int (*run)(const Words& words);
};

// The command's line in the command list: "params save FILE [--force]".
std::string synopsisLine(const Command& command);
// What --help prints: "usage: plovex-cli ", the synopsis line and the usage.
std::string helpText(const Command& command);

extern const Command monitorCommand;
extern const Command captureCommand;
extern const Command logCommand;
extern const Command portsCommand;
extern const Command readParamCommand;
extern const Command writeParamCommand;
extern const Command paramsCommand;
extern const Command paramsSaveCommand;
extern const Command paramsRestoreCommand;
extern const Command uploadCommand;
extern const Command rebootCommand;
extern const Command diagCommand;
extern const Command simulateCommand;

} // namespace plovex::cli
