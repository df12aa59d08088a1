#include "params/PrintableText.h"

#include "platform/Utf8.h"

#include <cstdint>
#include <cstdio>

namespace plovex::params {

namespace {

// Code points that change how the text around them shows.
bool formatting(char32_t cp)
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
        char32_t cp = 0;
        const std::size_t n = platform::utf8Length(text, i, &cp);
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
