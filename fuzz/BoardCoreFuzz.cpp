// The simulated board fed host bytes in bursts with pauses between them.
// Input: a sequence of bursts, each a pause byte (the clock advances by
// 5 ms per unit, up to 1.275 s, so frames get cut, uploads end and reboot
// silences pass), a length byte and that many bytes. A model kept beside the
// board from the frames it records checks after every burst: the replies are
// exactly the answers to the accepted polls and reads of that burst, in order
// (poll answers being the motion's successive frames, read answers the
// model's EEPROM word), dropped from the start of the burst up to a reboot;
// the EEPROM changes only by accepted writes; the counters agree with the
// recorded frames; bytes heard while rebooting are ignored; the next deadline
// lies in the future. At the end: every byte received is stray, ignored, or
// in exactly one recorded frame, and the image holds the last good block.

#include "fuzz/ByteReader.h"
#include "fuzz/FuzzCheck.h"
#include "fuzz/FuzzTargets.h"
#include "sim/BoardCore.h"

#include <algorithm>
#include <array>
#include <optional>
#include <string>
#include <vector>

namespace plovex::fuzz {

namespace {

using namespace std::chrono_literals;
using sim::BoardClock;
using sim::FrameKind;
using Bytes = std::vector<uint8_t>;

constexpr std::uint64_t kSeed = 7;

struct Model {
    sim::Motion motion{kSeed};
    std::array<int16_t, 256> eeprom{};
    std::optional<BoardClock::time_point> rebootUntil;
    bool uploading = false;
    BoardClock::time_point lastBlockAt{};
    unsigned maxBlockAddress = 0;
    std::optional<std::pair<unsigned, Bytes>> lastBlock;
    std::uint64_t polls = 0, reads = 0, writes = 0, refused = 0, blocks = 0, reboots = 0, uploads = 0;
    std::uint64_t framedBytes = 0;

    Model()
    {
        const sim::Eeprom initial;
        for (int a = 0; a < 256; ++a)
            eeprom[static_cast<std::size_t>(a)] = initial.get(a);
    }

    void endUpload()
    {
        if (uploading)
            ++uploads;
        uploading = false;
    }
};

std::string when(std::size_t burst)
{
    return "burst " + std::to_string(burst);
}

// Applies one recorded frame to the model and appends the reply it calls for.
void apply(Model& m, const sim::ReceivedFrame& f, BoardClock::time_point now, Bytes& replies)
{
    m.framedBytes += f.bytes.size();
    if (!f.accepted) {
        ++m.refused;
        return;
    }
    const Bytes& b = f.bytes;
    switch (f.kind) {
    case FrameKind::Poll: {
        ++m.polls;
        const auto frame = sim::Motion::encode(m.motion.next());
        replies.insert(replies.end(), frame.begin(), frame.end());
        break;
    }
    case FrameKind::ReadRequest: {
        ++m.reads;
        const auto v = static_cast<uint16_t>(m.eeprom[b[1]]);
        replies.push_back(static_cast<uint8_t>(v >> 8));
        replies.push_back(static_cast<uint8_t>(v & 0xFF));
        break;
    }
    case FrameKind::Write:
        PLOVEX_FUZZ_REQUIRE(b.size() == 6 && b[1] == 0x71 && b[5] == 0xAA, "accepted a malformed write");
        ++m.writes;
        m.eeprom[b[2]] = static_cast<int16_t>(static_cast<uint16_t>(b[3] << 8 | b[4]));
        break;
    case FrameKind::Reboot:
        ++m.reboots;
        m.endUpload();
        m.rebootUntil = now + 500ms;
        replies.clear();
        break;
    case FrameKind::ProgramBlock: {
        PLOVEX_FUZZ_REQUIRE(b.size() == 70, "program block of " + std::to_string(b.size()) + " bytes");
        ++m.blocks;
        const unsigned address = b[2] * 256u + b[3];
        if (!m.uploading) {
            m.uploading = true;
            m.maxBlockAddress = 0;
        }
        m.maxBlockAddress = std::max(m.maxBlockAddress, address);
        m.lastBlock = {address, Bytes(b.begin() + 4, b.begin() + 68)};
        m.lastBlockAt = now;
        break;
    }
    case FrameKind::Cut:
    case FrameKind::DiagReply:
        PLOVEX_FUZZ_REQUIRE(false, "a frame of this kind cannot be accepted");
    }
}

void checkCounters(const Model& m, const sim::BoardCounters& c, const std::string& where)
{
    PLOVEX_FUZZ_REQUIRE(c.pollsAnswered == m.polls && c.readsAnswered == m.reads && c.writesApplied == m.writes,
                        where + ": answered/applied counters");
    PLOVEX_FUZZ_REQUIRE(c.malformedFrames + c.badChecksumBlocks == m.refused, where + ": refused frames");
    PLOVEX_FUZZ_REQUIRE(c.blocksAccepted == m.blocks && c.reboots == m.reboots, where + ": blocks/reboots");
    PLOVEX_FUZZ_REQUIRE(c.uploadsCompleted == m.uploads,
                        where + ": " + std::to_string(c.uploadsCompleted) + " uploads completed, model " +
                            std::to_string(m.uploads));
    PLOVEX_FUZZ_REQUIRE(c.repliesWithheld == 0 && c.framesForgotten == 0, where);
}

void checkImage(const Model& m, const sim::BoardCore& core)
{
    const Bytes image = core.image();
    PLOVEX_FUZZ_REQUIRE(image.size() <= 65536, "image of " + std::to_string(image.size()) + " bytes");
    if (!m.lastBlock) {
        PLOVEX_FUZZ_REQUIRE(image.empty(), "an image without a good block");
        return;
    }
    const auto& [address, payload] = *m.lastBlock;
    PLOVEX_FUZZ_REQUIRE(image.size() >= m.maxBlockAddress && image.size() <= m.maxBlockAddress + 64,
                        "image of " + std::to_string(image.size()) + " bytes, highest block at " +
                            std::to_string(m.maxBlockAddress));
    for (std::size_t i = 0; i < 64 && address + i < image.size(); ++i)
        PLOVEX_FUZZ_REQUIRE(image[address + i] == payload[i],
                            "image byte " + std::to_string(address + i) + " is not the last good block's");
}

} // namespace

int fuzzBoardCore(const uint8_t* data, std::size_t size)
{
    sim::BoardCore core(kSeed, sim::BoardTimings{}, 1u << 20);
    Model model;
    ByteReader in(data, size);
    auto now = BoardClock::time_point{} + 1h;
    std::uint64_t fed = 0;

    for (std::size_t burst = 0; !in.empty(); ++burst) {
        now += in.byte() * 5ms;
        const std::string text = in.sized(255);
        const Bytes bytes(text.begin(), text.end());
        fed += bytes.size();

        if (model.uploading && now >= model.lastBlockAt + 1000ms)
            model.endUpload();
        const bool deaf = model.rebootUntil && now < *model.rebootUntil;
        const auto before = core.counters();
        const std::size_t recorded = core.frames().size();

        Bytes out;
        core.receive(bytes, now, out);

        PLOVEX_FUZZ_REQUIRE(core.counters().bytesReceived == fed, when(burst));
        if (deaf) {
            PLOVEX_FUZZ_REQUIRE(core.counters().bytesWhileRebooting - before.bytesWhileRebooting == bytes.size(),
                                when(burst) + ": bytes heard while rebooting were taken");
            PLOVEX_FUZZ_REQUIRE(core.frames().size() == recorded && out.empty(), when(burst) + ": acted while rebooting");
        }
        Bytes replies;
        for (std::size_t i = recorded; i < core.frames().size(); ++i)
            apply(model, core.frames()[i], now, replies);
        PLOVEX_FUZZ_REQUIRE(out == replies, when(burst) + ": " + std::to_string(out.size()) + " reply bytes, expected " +
                                                std::to_string(replies.size()));
        for (int a = 0; a < 256; ++a)
            PLOVEX_FUZZ_REQUIRE(core.eeprom().get(a) == model.eeprom[static_cast<std::size_t>(a)],
                                when(burst) + ": EEPROM word " + std::to_string(a));
        checkCounters(model, core.counters(), when(burst));
        if (const auto next = core.nextDeadline())
            PLOVEX_FUZZ_REQUIRE(*next > now, when(burst) + ": a deadline already passed");
    }

    // Long after the last byte: an open frame is cut and an upload ends.
    const std::size_t recorded = core.frames().size();
    now += 1h;
    core.tick(now);
    Bytes none;
    for (std::size_t i = recorded; i < core.frames().size(); ++i) {
        PLOVEX_FUZZ_REQUIRE(core.frames()[i].kind == FrameKind::Cut, "tick() recorded a frame that is not a cut");
        apply(model, core.frames()[i], now, none);
    }
    model.endUpload();
    checkCounters(model, core.counters(), "at the end");
    PLOVEX_FUZZ_REQUIRE(!core.nextDeadline(), "a deadline remains after everything ended");

    const auto& c = core.counters();
    PLOVEX_FUZZ_REQUIRE(c.strayBytes + c.bytesWhileRebooting + model.framedBytes == c.bytesReceived,
                        std::to_string(c.strayBytes) + " stray + " + std::to_string(c.bytesWhileRebooting) +
                            " ignored + " + std::to_string(model.framedBytes) + " framed, " +
                            std::to_string(c.bytesReceived) + " received");
    checkImage(model, core);
    return 0;
}

} // namespace plovex::fuzz
