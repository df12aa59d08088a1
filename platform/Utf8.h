#pragma once
// UTF-8 as RFC 3629 has it: no overlong forms, no surrogates, nothing past
// U+10FFFF. The JSON reader and the MQTT topic check both read it here.

#include <cstddef>
#include <string_view>

namespace platform {

// The length of the valid UTF-8 sequence at s[i], or 0 when there is none;
// *codePoint (when given) is set to the character it encodes.
std::size_t utf8Length(std::string_view s, std::size_t i, char32_t* codePoint = nullptr);

} // namespace platform
