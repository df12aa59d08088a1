// The simulated board fed host bytes in bursts: each a pause byte (5 ms a
// unit, so frames get cut, uploads end and reboots pass), a length byte and
// that many bytes. A model kept beside the board, fed the frames the board
// records, checks after every burst: the replies are exactly the answers to
// that burst's accepted polls (the motion's next frames) and reads (the
// model's EEPROM), dropped up to a reboot; the EEPROM changes by accepted
// writes only; the counters agree; bytes heard while rebooting are ignored;
// the next deadline lies ahead. At the end every byte received is stray,
// ignored or in exactly one frame, and the image holds the last good block.

#include "fuzz/FuzzSupport.h"
#include "fuzz/FuzzTargets.h"
#include "sim/BoardCore.h"

#include <array>
#include <optional>

namespace plovex::fuzz {

int fuzzBoardCore(const uint8_t* data, std::size_t size)
{
    using namespace std::chrono_literals;
    using sim::FrameKind;
    sim::BoardCore core(7, sim::BoardTimings{}, 1u << 20);
    sim::Motion motion(7);
    std::array<int16_t, 256> eeprom{};
    for (int a = 0; a < 256; ++a)
        eeprom[a] = sim::Eeprom().get(a);
    std::optional<std::pair<unsigned, Bytes>> lastBlock;
    auto rebootUntil = sim::BoardClock::time_point{};
    uint64_t polls = 0, reads = 0, writes = 0, refused = 0, framed = 0;
    std::size_t recorded = 0;
    auto model = [&](sim::BoardClock::time_point now, Bytes& replies) {
        for (; recorded < core.frames().size(); ++recorded) {
            const auto& f = core.frames()[recorded];
            const Bytes& b = f.bytes;
            framed += b.size();
            refused += !f.accepted;
            if (!f.accepted)
                continue;
            if (f.kind == FrameKind::Poll) {
                const auto frame = sim::Motion::encode(motion.next());
                replies.insert(replies.end(), frame.begin(), frame.end());
                ++polls;
            } else if (f.kind == FrameKind::ReadRequest) {
                replies.insert(replies.end(), {static_cast<uint8_t>(eeprom[b[1]] >> 8), static_cast<uint8_t>(eeprom[b[1]])});
                ++reads;
            } else if (f.kind == FrameKind::Write) {
                eeprom[b[2]] = static_cast<int16_t>(b[3] << 8 | b[4]);
                ++writes;
            } else if (f.kind == FrameKind::Reboot) {
                rebootUntil = now + 500ms;
                replies.clear();
            } else if (f.kind == FrameKind::ProgramBlock) {
                lastBlock = {b[2] * 256u + b[3], Bytes(b.begin() + 4, b.begin() + 68)};
            } else {
                PLOVEX_FUZZ_REQUIRE(false, "accepted a frame of kind " + std::string(sim::frameKindName(f.kind)));
            }
        }
    };
    ByteReader in(data, size);
    auto now = sim::BoardClock::time_point{} + 1h;
    for (std::size_t burst = 0; !in.empty(); ++burst) {
        now += in.byte() * 5ms;
        const std::string text = in.sized(255);
        const Bytes bytes(text.begin(), text.end());
        const bool deaf = now < rebootUntil;
        const auto before = core.counters();
        Bytes out, replies;
        core.receive(bytes, now, out);
        model(now, replies);
        const auto c = core.counters();
        auto where = [&] { return "burst " + std::to_string(burst) + ": " + hex(bytes); }; // only for a message
        PLOVEX_FUZZ_REQUIRE(out == replies, where() + "replied " + hex(out) + "instead of " + hex(replies));
        PLOVEX_FUZZ_REQUIRE(!deaf || (c.bytesWhileRebooting - before.bytesWhileRebooting == bytes.size() && out.empty()), where());
        for (int a = 0; a < 256; ++a)
            PLOVEX_FUZZ_REQUIRE(core.eeprom().get(a) == eeprom[a], where() + "EEPROM word " + std::to_string(a));
        PLOVEX_FUZZ_REQUIRE(c.pollsAnswered == polls && c.readsAnswered == reads && c.writesApplied == writes &&
                                c.malformedFrames + c.badChecksumBlocks == refused && c.repliesWithheld == 0,
                            where() + "counters");
        PLOVEX_FUZZ_REQUIRE(!core.nextDeadline() || *core.nextDeadline() > now, where() + "a deadline already passed");
    }
    Bytes none;
    core.tick(now += 1h); // long after: an open frame is cut, an upload ends
    model(now, none);
    const auto& c = core.counters();
    PLOVEX_FUZZ_REQUIRE(!core.nextDeadline() && c.strayBytes + c.bytesWhileRebooting + framed == c.bytesReceived,
                        "bytes lost track of");
    const Bytes image = core.image();
    for (std::size_t i = 0; lastBlock && i < 64 && lastBlock->first + i < image.size(); ++i)
        PLOVEX_FUZZ_REQUIRE(image[lastBlock->first + i] == lastBlock->second[i], "the image lost the last good block");
    PLOVEX_FUZZ_REQUIRE(lastBlock.has_value() || image.empty(), "an image without a good block");
    return 0;
}

} // namespace plovex::fuzz
