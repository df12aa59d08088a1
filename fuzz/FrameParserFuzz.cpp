// The simulated board's frame parser fed any host bytes, a frame in progress
// ended every N bytes (N: bits 0-6 of the first input byte; 0: never) by
// cut() or, with bit 7, by reset(). Checked after every byte: a frame is the
// exact run of bytes from the byte that started it, of the length that byte
// gives; only bytes that start no frame are stray; every verdict agrees with
// the frame's content; and frames, stray, cut and forgotten bytes and the
// frame still open account for every byte fed.

#include "fuzz/FuzzSupport.h"
#include "fuzz/FuzzTargets.h"
#include "sim/FrameParser.h"

#include <numeric>

namespace plovex::fuzz {

namespace {

using sim::FrameParser;

std::size_t lengthStartedBy(uint8_t b)
{
    return b == 0xEE ? 1 : b == 0x08 || b == 0x9B ? 2 : b == 0x09 || b == 0x99 ? 6 : b == 0x9A ? 70 : 0;
}

// Whether the board may act on the frame by the wire's rules, and whether
// only its checksum is wrong.
std::pair<bool, bool> verdict(const sim::ParsedFrame& f)
{
    const Bytes& b = f.frame.bytes;
    switch (b[0]) {
    case 0x08: return {f.address == b[1], false};
    case 0x09: case 0x99: return {b[1] == 0x71 && b[5] == 0xAA && (b[0] == 0x09) == (b[2] <= 15) && f.address == b[2] &&
                                      f.value == static_cast<int16_t>(b[3] << 8 | b[4]), false};
    case 0x9B: return {b[1] == 0xA5, false};
    case 0x9A: {
        const bool rest = b[1] == 0x71 && b[3] % 64 == 0 && f.blockAddress == (b[2] << 8 | b[3]);
        const bool sum = (std::accumulate(b.begin(), b.begin() + 68, 0u) & 0xFFFF) == static_cast<unsigned>(b[68] << 8 | b[69]);
        return {rest && sum, rest && !sum};
    }
    default: return {true, false};
    }
}

} // namespace

int fuzzFrameParser(const uint8_t* data, std::size_t size)
{
    ByteReader in(data, size);
    const uint8_t mode = in.byte();
    const std::string text = in.rest();
    const Bytes s(text.begin(), text.end());
    for (unsigned v = 0; v < 256; ++v)
        PLOVEX_FUZZ_REQUIRE(FrameParser::frameLength(static_cast<uint8_t>(v)) == lengthStartedBy(static_cast<uint8_t>(v)),
                            hex(Bytes{static_cast<uint8_t>(v)}));
    FrameParser parser;
    std::size_t start = 0, accounted = 0;
    auto slice = [&](std::size_t end) { return Bytes(s.begin() + static_cast<long>(start), s.begin() + static_cast<long>(end)); };
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (!parser.inFrame())
            start = i;
        const auto outcome = parser.feed(s[i]);
        auto where = [&] { return "byte " + std::to_string(i) + " of " + hex(s); }; // only for a message
        const std::size_t length = lengthStartedBy(s[start]);
        PLOVEX_FUZZ_REQUIRE((outcome == FrameParser::Outcome::Stray) == (length == 0), where());
        PLOVEX_FUZZ_REQUIRE((outcome == FrameParser::Outcome::Frame) == (length && i + 1 - start == length), where());
        PLOVEX_FUZZ_REQUIRE(parser.inFrame() == (outcome == FrameParser::Outcome::Pending), where());
        accounted += outcome == FrameParser::Outcome::Stray;
        if (outcome == FrameParser::Outcome::Frame) {
            const auto& f = parser.frame();
            PLOVEX_FUZZ_REQUIRE(f.frame.bytes == slice(i + 1), where());
            PLOVEX_FUZZ_REQUIRE(std::pair(f.frame.accepted, f.badChecksum) == verdict(f), where() + ": " + f.frame.problem);
            PLOVEX_FUZZ_REQUIRE(f.frame.accepted == f.frame.problem.empty(), where());
            accounted += f.frame.bytes.size();
        }
        if ((mode & 0x7F) && (i + 1) % (mode & 0x7F) == 0 && parser.inFrame()) {
            if (mode & 0x80) {
                parser.reset();
            } else {
                const auto cut = parser.cut();
                PLOVEX_FUZZ_REQUIRE(cut && cut->frame.kind == sim::FrameKind::Cut && !cut->frame.accepted &&
                                        cut->frame.bytes == slice(i + 1),
                                    where() + ": cut");
            }
            accounted += i + 1 - start;
            PLOVEX_FUZZ_REQUIRE(!parser.inFrame(), where());
        }
    }
    const auto open = parser.cut();
    PLOVEX_FUZZ_REQUIRE(!open || open->frame.bytes == slice(s.size()), "the open frame");
    PLOVEX_FUZZ_REQUIRE(accounted + (open ? open->frame.bytes.size() : 0) == s.size(), "bytes lost track of in " + hex(s));
    return 0;
}

} // namespace plovex::fuzz
