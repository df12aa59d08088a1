#pragma once
// Small pieces every plovex-cli command uses to read its words, to report
// and to ask.

#include "platform/Args.h"

#include <string>

namespace plovex::cli {

// The command-line parser and exit codes the window shares, by their short names.
using platform::kExitFailed;
using platform::kExitOk;
using platform::kExitUsage;
using platform::parseArgs;
using platform::ParsedArgs;
using platform::parseInteger;
using platform::parseSeconds;

// Writes "plovex-cli COMMAND: message" on standard error and returns code
// ("plovex-cli: message" when command is empty).
int report(const char* command, const std::string& message, int code);
// The same line, for a notice that is no failure.
void notice(const char* command, const std::string& message);
// A usage error: the message on one line, then "Try 'plovex-cli COMMAND --help'."
// on standard error; exit code 2. The whole help would bury the message.
int usageError(const char* command, const std::string& message);

// Whether standard input / standard output / standard error is a terminal.
bool stdinIsTerminal();
bool stdoutIsTerminal();
bool stderrIsTerminal();

// Writes question on standard error and reads one line from standard input.
// True for "y" or "yes" in any letter case (blanks around are ignored);
// false for anything else, an empty line or the end of input.
bool askYesNo(const std::string& question);

// Writes text to standard output and flushes it at once (also into a pipe).
void writeOut(const std::string& text);

} // namespace plovex::cli
