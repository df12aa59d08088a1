#pragma once
// A request body compressed for "Content-Encoding: gzip" (RFC 1952), with
// zlib. Line protocol shrinks to about a tenth: the lines of one board
// differ in a few digits.

#include <string>
#include <string_view>

namespace plovex::fleet {

// text in the gzip format. Throws std::runtime_error when zlib fails (it
// does only when memory runs out).
std::string gzip(std::string_view text);

} // namespace plovex::fleet
