#pragma once
// Renders fuzz data for failure messages.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace plovex::fuzz {

// s in double quotes, every byte outside printable ASCII (and " and \) as \xHH.
std::string printable(std::string_view s);
// "0E 02 37 " and so on.
std::string hexBytes(const std::vector<uint8_t>& bytes);

} // namespace plovex::fuzz
