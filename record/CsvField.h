#pragma once
// A text as one CSV field: as it is when it holds no comma, quote or line
// break; otherwise in double quotes, with each quote doubled.

#include <string>

namespace plovex::record {

std::string csvField(const std::string& text);

} // namespace plovex::record
