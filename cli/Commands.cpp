#include "cli/Commands.h"

namespace plovex::cli {

std::string helpText(const Command& command)
{
    std::string text = std::string("usage: plovex-cli ") + command.name;
    if (*command.synopsis)
        text += std::string(" ") + command.synopsis;
    return text + command.usage;
}

} // namespace plovex::cli
