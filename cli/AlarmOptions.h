#pragma once
// The alarm options of the commands that watch measurements (plovex-cli
// monitor, log): --alarm RULE (repeatable), --hysteresis V and --hold S for
// the rules that give none of their own, --on-alarm PROGRAM and
// --on-alarm-timeout S.

#include "alarm/Rule.h"
#include "cli/CommandSupport.h"

#include <chrono>
#include <set>
#include <string>
#include <vector>

namespace plovex::cli {

struct AlarmSettings {
    std::vector<alarm::Rule> rules;
    std::string program; // --on-alarm, where it was found; empty: none
    std::chrono::milliseconds programLimit{10000};
};

// The help lines of the options, for a command's usage text. changes: what
// else the command does with each change, from the words that follow "Each
// raise and clear is a line on standard error" to the last newline.
std::string alarmOptionsHelp(const char* changes);
// Their names, for parseArgs.
std::set<std::string> alarmValueOptions();
// Takes the options from args. False, and the reason in *error, when they
// are not usable; a malformed rule is shown with a caret under the fault.
bool readAlarmSettings(const ParsedArgs& args, AlarmSettings& settings, std::string* error);

} // namespace plovex::cli
