#include "params/PrintableText.h"

#include <cstdint>
#include <cstdio>

namespace plovex::params {

namespace {

// The code point of the valid UTF-8 sequence at text[i] and its length; length
// 0 when there is none.
std::size_t decodeUtf8(std::string_view text, std::size_t i, uint32_t& cp)
{
    const auto b = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char c = b(i);
    std::size_t n;
    if (c < 0x80)
        return cp = c, 1;
    if (c >= 0xC2 && c <= 0xDF)
        n = 2, cp = c & 0x1F;
    else if (c >= 0xE0 && c <= 0xEF)
        n = 3, cp = c & 0x0F;
    else if (c >= 0xF0 && c <= 0xF4)
        n = 4, cp = c & 0x07;
    else
        return 0;
    if (i + n > text.size())
        return 0;
    for (std::size_t k = 1; k < n; ++k) {
        if ((b(i + k) & 0xC0) != 0x80)
            return 0;
        cp = (cp << 6) | (b(i + k) & 0x3F);
    }
    const bool overlong = (n == 3 && cp < 0x800) || (n == 4 && cp < 0x10000);
    if (overlong || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
        return 0;
    return n;
}

// Code points that change how the text around them shows.
bool formatting(uint32_t cp)
{
    return (cp >= 0x80 && cp <= 0x9F) || cp == 0x061C || cp == 0x200E || cp == 0x200F ||
           (cp >= 0x2028 && cp <= 0x202E) || (cp >= 0x2066 && cp <= 0x2069);
}

} // namespace

std::string printableText(std::string_view text)
{
    std::string out;
    char code[16];
    for (std::size_t i = 0; i < text.size();) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        uint32_t cp = 0;
        const std::size_t n = decodeUtf8(text, i, cp);
        if (c == '\\') {
            out += "\\\\";
        } else if (c == '\t') {
            out += "\\t";
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\r') {
            out += "\\r";
        } else if (n == 0 || c < 0x20 || c == 0x7F) {
            std::snprintf(code, sizeof code, "\\x%02X", c);
            out += code;
        } else if (formatting(cp)) {
            std::snprintf(code, sizeof code, "\\u{%04X}", static_cast<unsigned>(cp));
            out += code;
            i += n;
            continue;
        } else {
            out.append(text.substr(i, n));
            i += n;
            continue;
        }
        ++i;
    }
    return out;
}

} // namespace plovex::params
