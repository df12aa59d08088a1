// The answering side of the diagnostic exchange fed a sequence of requests:
// each is a code byte, a length byte (low 4 bits: how many further bytes
// follow, 0..15, fewer at the end of the input; bit 7 with no further bytes:
// pass a null pointer) and the further bytes. The further bytes are handed
// over in a buffer of exactly their size, so reading one that was not
// received is an out-of-bounds read the address sanitizer reports.

#include "fuzz/ByteReader.h"
#include "fuzz/FuzzCheck.h"
#include "fuzz/FuzzTargets.h"
#include "fuzz/FuzzText.h"
#include "link/Diagnostic.h"

#include <algorithm>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace plovex::fuzz {

namespace {

using Bytes = std::vector<uint8_t>;

std::string describe(uint8_t code, const std::optional<Bytes>& reply)
{
    return "code " + hexBytes({code}) + "-> " + (reply ? hexBytes(*reply) : std::string("nullopt"));
}

bool isRequestCode(uint8_t code)
{
    return code == 0x0E || code == 0x28 || code == 0x29 || code == 0xF0 || code == 0xF1;
}

// The reply the exchange defines for code, given the further bytes that arrived.
std::optional<Bytes> expectedReply(uint8_t code, const Bytes& further)
{
    switch (code) {
    case 0x0E: return Bytes{0x0E, 0x02, 0x37, 0x00, 0x11, 0x00, 0x00, 0x00, 0x36, 0x02, 0xA7};
    case 0x28: return Bytes{0x28, 0x00, 0x11, 0x00, 0x35, 0x00, 0x6F};
    case 0x29: {
        if (further.size() < 5)
            return std::nullopt;
        const unsigned v = further[3] * 256u + further[4];
        const unsigned s = (v + 0x5D) % 65536;
        return Bytes{0x29, further[3], further[4], 0x00, 0x34, static_cast<uint8_t>(s / 256), static_cast<uint8_t>(s % 256)};
    }
    case 0xF0: return Bytes{0xF0, 0x00, 0x05, 0x00, 0xF5};
    case 0xF1: return Bytes{0xF0, 0x00, 0x06, 0x00, 0xF6};
    default: return std::nullopt;
    }
}

// Calls diagnosticReply with the bytes in a heap buffer of exactly their size.
std::optional<Bytes> replyFor(uint8_t code, const Bytes& further, bool nullWhenEmpty)
{
    if (further.empty() && nullWhenEmpty)
        return wire::diagnosticReply(code, nullptr, 0);
    const auto exact = std::make_unique<uint8_t[]>(further.size() ? further.size() : 1);
    std::copy(further.begin(), further.end(), exact.get());
    return wire::diagnosticReply(code, exact.get(), further.size());
}

void checkRequest(uint8_t code, const Bytes& further, bool nullWhenEmpty)
{
    const bool request = isRequestCode(code);
    PLOVEX_FUZZ_REQUIRE(wire::isDiagnosticRequest(code) == request, hexBytes({code}));

    const std::size_t carries = code == 0x28 ? 2 : code == 0x29 ? 6 : 0;
    PLOVEX_FUZZ_REQUIRE(wire::diagnosticFurtherBytes(code) == carries, hexBytes({code}));

    const std::string log = wire::diagnosticLogText(code);
    const std::string code2 = hexBytes({code}).substr(0, 2);
    PLOVEX_FUZZ_REQUIRE(log == (request ? "received a " + code2 : std::string()), hexBytes({code}) + "logged as '" + log + "'");

    const auto reply = replyFor(code, further, nullWhenEmpty);
    const auto expected = expectedReply(code, further);
    PLOVEX_FUZZ_REQUIRE(reply == expected, describe(code, reply) + " with further bytes " + hexBytes(further) +
                                                "; expected " + (expected ? hexBytes(*expected) : "nullopt"));
    if (!reply)
        return;
    PLOVEX_FUZZ_REQUIRE(request, describe(code, reply));
    const std::size_t length = code == 0x0E ? 11 : (code == 0x28 || code == 0x29) ? 7 : 5;
    PLOVEX_FUZZ_REQUIRE(reply->size() == length, describe(code, reply));
    PLOVEX_FUZZ_REQUIRE((*reply)[0] == (code == 0xF1 ? 0xF0 : code), describe(code, reply));

    // Only the bytes a request carries shape its reply: a 0x29 reply depends
    // on the first five further bytes at most, every other on none.
    const std::size_t needed = code == 0x29 ? 5 : 0;
    if (further.size() > needed) {
        const Bytes head(further.begin(), further.begin() + static_cast<std::ptrdiff_t>(needed));
        const auto again = replyFor(code, head, nullWhenEmpty);
        PLOVEX_FUZZ_REQUIRE(again == reply, describe(code, again) + " from the needed bytes alone, " +
                                                describe(code, reply) + " with " + hexBytes(further));
    }
}

} // namespace

int fuzzDiagnosticReply(const uint8_t* data, std::size_t size)
{
    ByteReader in(data, size);
    while (!in.empty()) {
        const uint8_t code = in.byte();
        const uint8_t length = in.byte();
        const std::string raw = in.bytes(length & 0x0F);
        checkRequest(code, Bytes(raw.begin(), raw.end()), (length & 0x80) != 0);
    }
    return 0;
}

} // namespace plovex::fuzz
