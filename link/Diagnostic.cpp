#include "link/Diagnostic.h"

#include <cstdio>

namespace plovex::wire {

bool isDiagnosticRequest(uint8_t code)
{
    return code == 0x0E || code == 0x28 || code == 0x29 || code == 0xF0 || code == 0xF1;
}

std::size_t diagnosticFurtherBytes(uint8_t code)
{
    return code == 0x28 ? 2 : code == 0x29 ? 6 : 0;
}

std::string diagnosticLogText(uint8_t code)
{
    if (!isDiagnosticRequest(code))
        return {};
    char buf[24];
    std::snprintf(buf, sizeof buf, "received a %02X", code);
    return buf;
}

std::optional<std::vector<uint8_t>> diagnosticReply(uint8_t code, const uint8_t* further, std::size_t count)
{
    switch (code) {
    case 0x0E:
        return std::vector<uint8_t>{0x0E, 0x02, 0x37, 0x00, 0x11, 0x00, 0x00, 0x00, 0x36, 0x02, 0xA7};
    case 0x28:
        return std::vector<uint8_t>{0x28, 0x00, 0x11, 0x00, 0x35, 0x00, 0x6F};
    case 0x29: {
        // v sits at offsets 4 and 5 of the request, the code being offset 0.
        if (!further || count < 5)
            return std::nullopt;
        const uint16_t v = static_cast<uint16_t>((further[3] << 8) | further[4]);
        const uint16_t s = static_cast<uint16_t>(v + 0x5D);
        return std::vector<uint8_t>{0x29, static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v & 0xFF), 0x00, 0x34,
                                    static_cast<uint8_t>(s >> 8), static_cast<uint8_t>(s & 0xFF)};
    }
    case 0xF0:
        return std::vector<uint8_t>{0xF0, 0x00, 0x05, 0x00, 0xF5};
    case 0xF1:
        return std::vector<uint8_t>{0xF0, 0x00, 0x06, 0x00, 0xF6};
    default:
        return std::nullopt;
    }
}

} // namespace plovex::wire
