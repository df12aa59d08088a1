#include "fuzz/FuzzText.h"

namespace plovex::fuzz {

namespace {

constexpr char kDigits[] = "0123456789ABCDEF";

} // namespace

std::string printable(std::string_view s)
{
    std::string out = "\"";
    for (const char c : s) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x20 || u >= 0x7f || c == '"' || c == '\\') {
            out += "\\x";
            out += kDigits[u >> 4];
            out += kDigits[u & 15];
        } else {
            out += c;
        }
    }
    return out + "\"";
}

std::string hexBytes(const std::vector<uint8_t>& bytes)
{
    std::string out;
    for (const uint8_t b : bytes) {
        out += kDigits[b >> 4];
        out += kDigits[b & 15];
        out += ' ';
    }
    return out;
}

} // namespace plovex::fuzz
