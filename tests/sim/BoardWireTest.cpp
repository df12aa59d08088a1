// The board over a real pseudo-terminal, seen from a plain raw host.

#include "sim/LinePacer.h"
#include "sim/SimulatedBoard.h"
#include "tests/sim/HostLine.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

using namespace plovex::sim;
using namespace simtest;
using testsupport::waitFor;

namespace {

BoardOptions at(const testsupport::TempDir& dir, std::uint64_t seed = 1)
{
    BoardOptions o;
    o.linkPath = (dir / "board").string();
    o.publish = false;
    o.seed = seed;
    return o;
}

} // namespace

TEST(BoardWire, AnswersAPollWithTheMeasurementOfItsSeed)
{
    testsupport::TempDir dir;
    SimulatedBoard board(at(dir, 5));
    ASSERT_TRUE(board.start()) << board.error();
    HostLine host(board.linkPath());
    ASSERT_TRUE(host.ok()) << host.openError();

    BoardCore reference(5, BoardTimings{}, 10);
    for (int i = 0; i < 3; ++i) {
        const auto frame = pollOnce(host);
        ASSERT_EQ(frame.size(), 21u);
        Bytes expected;
        reference.receive(Bytes{0xEE}, BoardClock::now(), expected);
        EXPECT_EQ(frame, expected) << "poll " << i;
    }
    EXPECT_TRUE(host.readFor(30ms).empty()) << "one frame per poll";
    EXPECT_EQ(board.counters().pollsAnswered, 3u);
    ASSERT_EQ(board.frames(FrameKind::Poll).size(), 3u);
    EXPECT_EQ(board.frames()[0].bytes, (Bytes{0xEE}));
}

TEST(BoardWire, EepromReadWriteRoundTripWithBothFirstBytes)
{
    testsupport::TempDir dir;
    SimulatedBoard board(at(dir));
    ASSERT_TRUE(board.start()) << board.error();
    HostLine host(board.linkPath());
    ASSERT_TRUE(host.ok());

    ASSERT_TRUE(host.send({0x08, 0x02}));
    EXPECT_EQ(host.read(2), (Bytes{0x00, 0x0A})); // Qx process variance 10
    for (auto [address, value] : {std::pair{3, -123}, {15, 32767}, {16, 0x1234}, {255, -32768}}) {
        ASSERT_TRUE(host.send(writeFrame(address, value)));
        ASSERT_TRUE(host.send({0x08, static_cast<std::uint8_t>(address)}));
        const auto r = host.read(2);
        ASSERT_EQ(r.size(), 2u);
        EXPECT_EQ(value16(r, 0), value) << "address " << address;
        EXPECT_EQ(board.eeprom(address), value);
    }
    board.setEeprom(9, -2);
    ASSERT_TRUE(host.send({0x08, 0x09}));
    EXPECT_EQ(host.read(2), (Bytes{0xFF, 0xFE}));
    const auto writes = board.frames(FrameKind::Write);
    ASSERT_EQ(writes.size(), 4u);
    EXPECT_EQ(writes[0].bytes, (Bytes{0x09, 0x71, 0x03, 0xFF, 0x85, 0xAA}));
    EXPECT_EQ(writes[2].bytes, (Bytes{0x99, 0x71, 0x10, 0x12, 0x34, 0xAA}));
    EXPECT_EQ(board.counters().writesApplied, 4u);
}

TEST(BoardWire, MalformedWritesAreCountedAndNeverApplied)
{
    testsupport::TempDir dir;
    auto o = at(dir);
    o.timings.frameGap = 40ms;
    SimulatedBoard board(o);
    ASSERT_TRUE(board.start()) << board.error();
    HostLine host(board.linkPath());
    ASSERT_TRUE(host.ok());

    const std::vector<Bytes> bad = {
        {0x09, 0x70, 0x01, 0x11, 0x11, 0xAA}, // constant
        {0x09, 0x71, 0x01, 0x11, 0x11, 0xAB}, // trailer
        {0x09, 0x71, 0x11, 0x11, 0x11, 0xAA}, // 0x09 for address 17
        {0x99, 0x71, 0x01, 0x11, 0x11, 0xAA}, // 0x99 with low byte 1 (address 257)
    };
    for (const auto& b : bad)
        ASSERT_TRUE(host.send(b));
    // A frame cut short by a pause, then its tail.
    ASSERT_TRUE(host.send({0x09, 0x71, 0x01}));
    std::this_thread::sleep_for(120ms);
    ASSERT_TRUE(host.send({0x11, 0x11, 0xAA}));
    ASSERT_TRUE(waitFor([&] { return board.counters().strayBytes >= 3; }, 2s));

    const auto c = board.counters();
    EXPECT_EQ(c.malformedFrames, 5u);
    EXPECT_EQ(c.writesApplied, 0u);
    EXPECT_EQ(board.eeprom(1), 1000);
    EXPECT_EQ(board.eeprom(17), 100 * 17 - 12800);
    EXPECT_EQ(board.frames(FrameKind::Cut).size(), 1u);
    for (const auto& f : board.frames())
        EXPECT_FALSE(f.accepted) << f.problem;
    // The board still answers.
    EXPECT_EQ(pollOnce(host).size(), 21u);
}

TEST(BoardWire, KeepsUploadedBlocksAndRejectsBadChecksums)
{
    testsupport::TempDir dir;
    auto o = at(dir);
    o.imageOut = (dir / "out.bin").string();
    o.timings.uploadEndIdle = 150ms;
    SimulatedBoard board(o);
    ASSERT_TRUE(board.start()) << board.error();
    HostLine host(board.linkPath());
    ASSERT_TRUE(host.ok());

    Bytes img(100);
    for (std::size_t i = 0; i < img.size(); ++i)
        img[i] = static_cast<std::uint8_t>(i * 3 + 1);
    auto broken = programBlock(0x0040, Bytes(img.begin() + 64, img.end()));
    broken[68] ^= 0x10;
    ASSERT_TRUE(host.send(programBlock(0x0000, Bytes(img.begin(), img.begin() + 64))));
    ASSERT_TRUE(host.send(broken));
    ASSERT_TRUE(host.send(programBlock(0x0040, Bytes(img.begin() + 64, img.end()))));
    ASSERT_TRUE(waitFor([&] { return board.counters().uploadsCompleted == 1; }, 3s));
    EXPECT_EQ(board.counters().blocksAccepted, 2u);
    EXPECT_EQ(board.counters().badChecksumBlocks, 1u);
    EXPECT_EQ(board.image(), img);
    const auto file = testsupport::readFile(dir / "out.bin");
    EXPECT_EQ(Bytes(file.begin(), file.end()), img);
    EXPECT_EQ(board.frames(FrameKind::ProgramBlock).size(), 3u);
}

TEST(BoardWire, SaysNothingWhileItReboots)
{
    testsupport::TempDir dir;
    auto o = at(dir);
    o.timings.rebootSilence = 400ms;
    SimulatedBoard board(o);
    ASSERT_TRUE(board.start()) << board.error();
    HostLine host(board.linkPath());
    ASSERT_TRUE(host.ok());

    ASSERT_TRUE(host.send({0x9B, 0xA5}));
    ASSERT_TRUE(host.send({0xEE}));
    EXPECT_TRUE(host.readFor(100ms).empty());
    ASSERT_TRUE(waitFor([&] { return board.counters().bytesWhileRebooting == 1; }, 1s));
    EXPECT_EQ(board.counters().reboots, 1u);
    EXPECT_EQ(board.frames(FrameKind::Reboot).at(0).bytes, (Bytes{0x9B, 0xA5}));
    // Polls during the silence go unheard; once it is over the board answers again.
    EXPECT_TRUE(waitFor([&] { return pollOnce(host).size() == 21u; }, 5s));
}

TEST(BoardWire, PacingFollowsTheHostsLineSpeed)
{
    testsupport::TempDir dir;
    const Bytes fivePolls(5, 0xEE);
    auto received = [&](bool paced, speed_t speed) {
        auto o = at(dir);
        o.paced = paced;
        SimulatedBoard board(o);
        EXPECT_TRUE(board.start()) << board.error();
        HostLine host(board.linkPath(), speed);
        EXPECT_TRUE(host.send(fivePolls));
        const auto early = host.readFor(150ms).size();
        return early;
    };
    const auto unpaced = received(false, B1200);
    const auto paced = received(true, B1200); // 105 bytes take 875 ms at 1200 baud
    EXPECT_EQ(unpaced, 105u);
    EXPECT_LT(paced, unpaced / 2) << "paced bytes came as fast as unpaced ones";

    // Paced or not, the frames themselves are whole.
    auto o = at(dir);
    o.paced = true;
    SimulatedBoard board(o);
    ASSERT_TRUE(board.start());
    HostLine host(board.linkPath(), B38400);
    ASSERT_TRUE(host.send(fivePolls));
    const auto all = host.read(105, 3s);
    ASSERT_EQ(all.size(), 105u);
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(all[21 * i], 0xEE);
}

TEST(BoardWire, AReplyGoesOutInStepsAndEndsWhenTheLineWouldEndIt)
{
    // 21 bytes at 260 us a byte, sent at most every millisecond: byte i goes
    // out no sooner than its time on the line, and the last one exactly then.
    using namespace std::chrono;
    LinePacer pacer;
    pacer.setPerByte(260us);
    const auto t0 = LinePacer::Clock::time_point{} + seconds(1);
    pacer.push(Bytes(21, 0x55), t0);
    std::vector<uint8_t> out;
    std::size_t sent = 0;
    int steps = 0;
    for (auto t = t0;; ++steps) {
        pacer.due(t, out);
        ASSERT_LE(sent + out.size(), 1 + static_cast<std::size_t>((t - t0) / 260us)) << "a byte went out early";
        pacer.sent(out.size());
        sent += out.size();
        const auto next = pacer.nextWake(t, 1ms);
        if (!next) {
            EXPECT_EQ(t, t0 + 20 * 260us) << "the reply ended late";
            break;
        }
        t = *next;
    }
    EXPECT_EQ(sent, 21u);
    EXPECT_LE(steps, 7) << "steps closer than a millisecond";
}
