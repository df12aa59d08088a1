#include "cli/ParameterDescriptions.h"

#include <array>

namespace plovex::cli {

const std::string& parameterDescription(int address)
{
    static const std::array<std::string, 8> named = {
        "Status Bits",          "Sx Primary Gain",     "Qx process variance",    "Rx measurement variance",
        "Sy Primary Gain",      "Qy process variance", "Ry measurement variance", "data selector",
    };
    static const std::string none;
    if (address < 0 || address >= static_cast<int>(named.size()))
        return none;
    return named[static_cast<std::size_t>(address)];
}

} // namespace plovex::cli
