#include "cli/Commands.h"

namespace plovex::cli {

std::string synopsisLine(const Command& command)
{
    return *command.synopsis ? std::string(command.name) + " " + command.synopsis : std::string(command.name);
}

std::string helpText(const Command& command)
{
    return "usage: plovex-cli " + synopsisLine(command) + command.usage;
}

} // namespace plovex::cli
