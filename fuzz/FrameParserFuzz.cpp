// The simulated board's frame parser fed arbitrary host bytes. The first
// input byte chooses interruptions: bits 0-6 a period (0: none) after which a
// frame in progress is ended, bit 7 whether by reset() (forgotten) or by
// cut() (reported as a Cut frame). Checked after every byte: a frame is the
// exact run of bytes from the byte that started it, of the length its first
// byte gives; only bytes that start no frame are stray; every verdict agrees
// with the frame's content (an accepted write has 0x71 and 0xAA in place and
// an address its first byte serves, an accepted program block an aligned
// address and a correct checksum, ...); and frames, stray bytes, cut and
// forgotten bytes and the frame still open account for exactly the bytes fed.

#include "fuzz/ByteReader.h"
#include "fuzz/FuzzCheck.h"
#include "fuzz/FuzzTargets.h"
#include "fuzz/FuzzText.h"
#include "sim/FrameParser.h"

#include <string>
#include <vector>

namespace plovex::fuzz {

namespace {

using sim::FrameKind;
using sim::FrameParser;
using sim::ParsedFrame;
using Bytes = std::vector<uint8_t>;

std::size_t lengthStartedBy(uint8_t b)
{
    switch (b) {
    case 0xEE: return 1;
    case 0x08: return 2;
    case 0x09: return 6;
    case 0x99: return 6;
    case 0x9B: return 2;
    case 0x9A: return 70;
    default: return 0;
    }
}

void checkVerdict(const ParsedFrame& f)
{
    const Bytes& b = f.frame.bytes;
    auto what = [&] {
        return std::string(sim::frameKindName(f.frame.kind)) + " frame " + hexBytes(b) +
               (f.frame.accepted ? "accepted" : "refused: " + f.frame.problem);
    };
    PLOVEX_FUZZ_REQUIRE(f.frame.accepted == f.frame.problem.empty(), what());
    bool good = true;
    switch (b[0]) {
    case 0xEE:
        PLOVEX_FUZZ_REQUIRE(f.frame.kind == FrameKind::Poll, what());
        break;
    case 0x08:
        PLOVEX_FUZZ_REQUIRE(f.frame.kind == FrameKind::ReadRequest && f.address == b[1], what());
        break;
    case 0x09:
    case 0x99: {
        PLOVEX_FUZZ_REQUIRE(f.frame.kind == FrameKind::Write, what());
        PLOVEX_FUZZ_REQUIRE(f.address == b[2], what());
        const int raw = b[3] * 256 + b[4];
        PLOVEX_FUZZ_REQUIRE(f.value == (raw >= 32768 ? raw - 65536 : raw), what());
        const bool servesAddress = b[0] == 0x09 ? b[2] <= 15 : b[2] >= 16;
        good = b[1] == 0x71 && b[5] == 0xAA && servesAddress;
        break;
    }
    case 0x9B:
        PLOVEX_FUZZ_REQUIRE(f.frame.kind == FrameKind::Reboot, what());
        good = b[1] == 0xA5;
        break;
    case 0x9A: {
        PLOVEX_FUZZ_REQUIRE(f.frame.kind == FrameKind::ProgramBlock, what());
        const unsigned address = b[2] * 256u + b[3];
        PLOVEX_FUZZ_REQUIRE(f.blockAddress == address, what());
        unsigned sum = 0;
        for (std::size_t i = 0; i < 68; ++i)
            sum += b[i];
        const bool sumRight = (sum % 65536) == b[68] * 256u + b[69];
        const bool otherwiseRight = b[1] == 0x71 && address % 64 == 0;
        good = sumRight && otherwiseRight;
        PLOVEX_FUZZ_REQUIRE(f.badChecksum == (otherwiseRight && !sumRight), what());
        break;
    }
    default:
        PLOVEX_FUZZ_REQUIRE(false, what());
    }
    if (b[0] != 0x9A)
        PLOVEX_FUZZ_REQUIRE(!f.badChecksum, what());
    PLOVEX_FUZZ_REQUIRE(f.frame.accepted == good, what());
}

} // namespace

int fuzzFrameParser(const uint8_t* data, std::size_t size)
{
    ByteReader in(data, size);
    const uint8_t mode = in.byte();
    const std::size_t period = mode & 0x7F;
    const bool byReset = (mode & 0x80) != 0;
    const std::string text = in.rest();
    const Bytes stream(text.begin(), text.end());

    for (unsigned v = 0; v < 256; ++v)
        PLOVEX_FUZZ_REQUIRE(FrameParser::frameLength(static_cast<uint8_t>(v)) == lengthStartedBy(static_cast<uint8_t>(v)),
                            "frameLength of " + hexBytes({static_cast<uint8_t>(v)}));

    FrameParser parser;
    std::size_t start = 0;                                          // where the open frame began
    std::size_t stray = 0, inFrames = 0, ended = 0;                 // bytes accounted for
    auto slice = [&](std::size_t from, std::size_t to) { return Bytes(stream.begin() + from, stream.begin() + to); };

    for (std::size_t i = 0; i < stream.size(); ++i) {
        const uint8_t b = stream[i];
        const bool wasInFrame = parser.inFrame();
        if (!wasInFrame)
            start = i;
        const auto outcome = parser.feed(b);
        auto where = [&] { return "at byte " + std::to_string(i) + " of " + hexBytes(stream); };
        if (!wasInFrame && lengthStartedBy(b) == 0) {
            PLOVEX_FUZZ_REQUIRE(outcome == FrameParser::Outcome::Stray, where());
            ++stray;
        } else {
            PLOVEX_FUZZ_REQUIRE(outcome != FrameParser::Outcome::Stray, where());
            const std::size_t expected = lengthStartedBy(stream[start]);
            const std::size_t have = i - start + 1;
            PLOVEX_FUZZ_REQUIRE((outcome == FrameParser::Outcome::Frame) == (have == expected), where());
            if (outcome == FrameParser::Outcome::Frame) {
                const ParsedFrame& f = parser.frame();
                PLOVEX_FUZZ_REQUIRE(f.frame.bytes == slice(start, i + 1), where() + ": frame " + hexBytes(f.frame.bytes));
                checkVerdict(f);
                inFrames += f.frame.bytes.size();
            }
        }
        PLOVEX_FUZZ_REQUIRE(parser.inFrame() == (outcome == FrameParser::Outcome::Pending), where());

        if (period != 0 && (i + 1) % period == 0) {
            const bool open = parser.inFrame();
            if (byReset) {
                parser.reset();
                ended += open ? i + 1 - start : 0;
            } else {
                const auto cut = parser.cut();
                PLOVEX_FUZZ_REQUIRE(cut.has_value() == open, where() + ": cut()");
                if (cut) {
                    PLOVEX_FUZZ_REQUIRE(cut->frame.kind == FrameKind::Cut && !cut->frame.accepted &&
                                            !cut->frame.problem.empty(),
                                        where() + ": cut frame");
                    PLOVEX_FUZZ_REQUIRE(cut->frame.bytes == slice(start, i + 1), where() + ": cut " + hexBytes(cut->frame.bytes));
                    PLOVEX_FUZZ_REQUIRE(cut->frame.bytes.size() < lengthStartedBy(cut->frame.bytes[0]), where());
                    ended += cut->frame.bytes.size();
                }
            }
            PLOVEX_FUZZ_REQUIRE(!parser.inFrame(), where() + ": still in a frame after it was ended");
        }
    }
    const auto rest = parser.cut();
    const std::size_t open = rest ? rest->frame.bytes.size() : 0;
    if (rest)
        PLOVEX_FUZZ_REQUIRE(rest->frame.bytes == slice(start, stream.size()), "open frame " + hexBytes(rest->frame.bytes));
    PLOVEX_FUZZ_REQUIRE(stray + inFrames + ended + open == stream.size(),
                        std::to_string(stray) + " stray + " + std::to_string(inFrames) + " in frames + " +
                            std::to_string(ended) + " ended + " + std::to_string(open) + " open bytes, " +
                            std::to_string(stream.size()) + " fed");
    return 0;
}

} // namespace plovex::fuzz
