#pragma once
// The commands of plovex-cli, one file each (<Name>Command.cpp). A command
// takes the words after its name (all the words of a name such as
// "params save") and returns the process's exit code (see Args.h); main.cpp
// lists them in its command table.

#include <string>
#include <vector>

namespace plovex::cli {

using Words = std::vector<std::string>;

int monitorCommand(const Words& words);
int logCommand(const Words& words);
int portsCommand(const Words& words);
int readParamCommand(const Words& words);
int writeParamCommand(const Words& words);
int uploadCommand(const Words& words);
int rebootCommand(const Words& words);
int diagCommand(const Words& words);
int simulateCommand(const Words& words);
int paramsCommand(const Words& words);
int paramsSaveCommand(const Words& words);
int paramsRestoreCommand(const Words& words);

} // namespace plovex::cli
