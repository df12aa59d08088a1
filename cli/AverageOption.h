#pragma once
// --average SECONDS, as plovex-cli log and monitor take it: one row or
// record per interval of SECONDS, aligned to multiples of it in UTC.

#include "cli/CommandSupport.h"

#include <chrono>
#include <optional>
#include <string>

namespace plovex::cli {

// Takes --average from args (0.1 to 86400 seconds, to the millisecond).
// False, and the reason in *error, when it is given but not usable.
bool readAverage(const ParsedArgs& args, std::optional<std::chrono::milliseconds>& average, std::string* error);

} // namespace plovex::cli
