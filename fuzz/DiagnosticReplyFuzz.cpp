// The answering side of the diagnostic exchange fed requests: each a code
// byte, a count byte (mod 16) and that many further bytes, handed over in a
// buffer of exactly their size, so that reading a byte that never arrived is
// an error the address sanitizer reports. Every code gets the reply the
// simulated board expects, its log text and its count of further bytes; a
// 0x29 reply is made only when its value bytes arrived.

#include "fuzz/FuzzSupport.h"
#include "fuzz/FuzzTargets.h"
#include "link/Diagnostic.h"
#include "sim/DiagnosticPeer.h"

#include <cstdio>
#include <memory>
#include <optional>

namespace plovex::fuzz {

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
        // The simulated board's own reading of the exchange, written apart from the link's.
        Bytes request = further;
        request.insert(request.begin(), code);
        const Bytes peer = sim::DiagnosticPeer::expectedReply(request);
        const auto expected = peer.empty() ? std::nullopt : std::optional(peer);
        PLOVEX_FUZZ_REQUIRE(reply == expected, "code " + hex(Bytes{code}) + "further " + hex(further) + "replied " +
                                                   (reply ? hex(*reply) : "nothing"));
        const bool isRequest = !sim::DiagnosticPeer::expectedReply({code, 0, 0, 0, 0, 0, 0}).empty();
        char text[16];
        std::snprintf(text, sizeof text, "received a %02X", code);
        PLOVEX_FUZZ_REQUIRE(wire::isDiagnosticRequest(code) == isRequest && wire::diagnosticLogText(code) == (isRequest ? text : ""),
                            hex(Bytes{code}));
        PLOVEX_FUZZ_REQUIRE(wire::diagnosticFurtherBytes(code) == (code == 0x28 ? 2u : code == 0x29 ? 6u : 0u), hex(Bytes{code}));
    }
    return 0;
}

} // namespace plovex::fuzz
