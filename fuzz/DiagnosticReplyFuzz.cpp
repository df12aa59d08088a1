// The answering side of the diagnostic exchange fed requests: each a code
// byte, a count byte (mod 16) and that many further bytes, handed over in a
// buffer of exactly their size, so that reading a byte that never arrived is
// an error the address sanitizer reports. Every code gets the reply the
// exchange defines, its log text and its count of further bytes; a 0x29 reply
// is made only when its value bytes arrived.

#include "fuzz/FuzzSupport.h"
#include "fuzz/FuzzTargets.h"
#include "link/Diagnostic.h"

#include <cstdio>
#include <memory>
#include <optional>

namespace plovex::fuzz {

namespace {

std::optional<Bytes> expectedReply(uint8_t code, const Bytes& f)
{
    switch (code) {
    case 0x0E: return Bytes{0x0E, 0x02, 0x37, 0x00, 0x11, 0x00, 0x00, 0x00, 0x36, 0x02, 0xA7};
    case 0x28: return Bytes{0x28, 0x00, 0x11, 0x00, 0x35, 0x00, 0x6F};
    case 0x29: {
        if (f.size() < 5)
            return std::nullopt;
        const unsigned s = (f[3] * 256u + f[4] + 0x5D) % 65536;
        return Bytes{0x29, f[3], f[4], 0x00, 0x34, static_cast<uint8_t>(s / 256), static_cast<uint8_t>(s % 256)};
    }
    case 0xF0: return Bytes{0xF0, 0x00, 0x05, 0x00, 0xF5};
    case 0xF1: return Bytes{0xF0, 0x00, 0x06, 0x00, 0xF6};
    default: return std::nullopt;
    }
}

} // namespace

int fuzzDiagnosticReply(const uint8_t* data, std::size_t size)
{
    ByteReader in(data, size);
    while (!in.empty()) {
        const uint8_t code = in.byte();
        const std::string raw = in.sized(15);
        const Bytes further(raw.begin(), raw.end());
        const auto exact = std::make_unique<uint8_t[]>(further.size());
        std::copy(further.begin(), further.end(), exact.get());
        const auto reply = wire::diagnosticReply(code, further.empty() ? nullptr : exact.get(), further.size());
        const auto expected = expectedReply(code, further);
        PLOVEX_FUZZ_REQUIRE(reply == expected, "code " + hex(Bytes{code}) + "further " + hex(further) + "replied " +
                                                   (reply ? hex(*reply) : "nothing"));
        const bool request = expectedReply(code, Bytes(6)).has_value();
        char text[16];
        std::snprintf(text, sizeof text, "received a %02X", code);
        PLOVEX_FUZZ_REQUIRE(wire::isDiagnosticRequest(code) == request && wire::diagnosticLogText(code) == (request ? text : ""),
                            hex(Bytes{code}));
        PLOVEX_FUZZ_REQUIRE(wire::diagnosticFurtherBytes(code) == (code == 0x28 ? 2u : code == 0x29 ? 6u : 0u), hex(Bytes{code}));
    }
    return 0;
}

} // namespace plovex::fuzz
