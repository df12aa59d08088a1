// Injected faults as the host sees them on the wire.

#include "sim/SimulatedBoard.h"
#include "tests/sim/HostLine.h"
#include "tests/support/TestSupport.h"

#include <algorithm>
#include <atomic>
#include <thread>
#include <gtest/gtest.h>

using namespace plovex::sim;
using namespace simtest;
using testsupport::waitFor;

namespace {

struct Rig {
    explicit Rig(std::uint64_t seed = 3)
    {
        BoardOptions o;
        o.linkPath = (dir / "board").string();
        o.publish = false;
        o.seed = seed;
        board = std::make_unique<SimulatedBoard>(o);
        started = board->start();
        if (started)
            host = std::make_unique<HostLine>(board->linkPath());
    }
    testsupport::TempDir dir;
    std::unique_ptr<SimulatedBoard> board;
    std::unique_ptr<HostLine> host;
    bool started = false;
};

// The frames a clean board of the same seed sends for its first n polls.
std::vector<Bytes> cleanFrames(std::uint64_t seed, int n)
{
    BoardCore core(seed, BoardTimings{}, 10);
    std::vector<Bytes> out;
    for (int i = 0; i < n; ++i) {
        Bytes f;
        core.receive(Bytes{0xEE}, BoardClock::now(), f);
        out.push_back(f);
    }
    return out;
}

} // namespace

TEST(BoardFaults, StrayDroppedAndFlippedBytesShowOnTheWire)
{
    Rig rig;
    ASSERT_TRUE(rig.started && rig.host->ok()) << rig.board->error();
    const auto clean = cleanFrames(3, 3);

    rig.board->injectStrayBytes({0x00, 0x12});
    auto got = pollOnce(*rig.host);
    got.resize(21);
    auto rest = rig.host->read(2, 1s);
    got.insert(got.end(), rest.begin(), rest.end());
    Bytes expected = {0x00, 0x12};
    expected.insert(expected.end(), clean[0].begin(), clean[0].end());
    EXPECT_EQ(got, expected);

    rig.board->dropReplyBytes(1, 5);
    ASSERT_TRUE(rig.host->send({0xEE}));
    got = rig.host->read(21, 300ms);
    Bytes shorter = clean[1];
    shorter.erase(shorter.begin() + 5);
    EXPECT_EQ(got, shorter) << "a frame that lost a byte is one byte short";

    rig.board->flipReplyByte(0, 0xFF);
    got = pollOnce(*rig.host);
    ASSERT_EQ(got.size(), 21u);
    EXPECT_EQ(got[0], 0x11) << "header 0xEE flipped";
    EXPECT_TRUE(std::equal(got.begin() + 1, got.end(), clean[2].begin() + 1));
}

TEST(BoardFaults, SilentBoardComesBack)
{
    Rig rig;
    ASSERT_TRUE(rig.started && rig.host->ok());
    rig.board->setSilent(true);
    ASSERT_TRUE(rig.host->send({0xEE, 0x08, 0x01}));
    EXPECT_TRUE(rig.host->readFor(100ms).empty());
    EXPECT_EQ(rig.board->counters().repliesWithheld, 2u);
    rig.board->setSilent(false);
    EXPECT_EQ(pollOnce(*rig.host), cleanFrames(3, 1)[0]);
}

TEST(BoardFaults, NoiseFloodHasNoHeaderAndEnds)
{
    Rig rig;
    ASSERT_TRUE(rig.started && rig.host->ok());
    rig.board->floodNoise(300ms);
    ASSERT_TRUE(rig.host->send({0xEE}));
    const auto noise = rig.host->read(300, 2s);
    EXPECT_EQ(noise.size(), 300u);
    EXPECT_EQ(std::count(noise.begin(), noise.end(), 0xEE), 0);
    ASSERT_TRUE(waitFor([&] { return rig.board->counters().repliesWithheld == 1; }, 1s));
    rig.board->floodNoise(0ms);
    rig.host->readFor(50ms); // what is left of the noise
    EXPECT_EQ(pollOnce(*rig.host).size(), 21u);
}

TEST(BoardFaults, SlowBoardSpacesItsBytes)
{
    Rig rig;
    ASSERT_TRUE(rig.started && rig.host->ok());
    rig.board->setSlowBoard(15ms); // a frame takes 315 ms
    ASSERT_TRUE(rig.host->send({0xEE}));
    const auto early = rig.host->readFor(60ms);
    EXPECT_LT(early.size(), 21u);
    auto rest = rig.host->read(21 - early.size(), 2s);
    Bytes whole = early;
    whole.insert(whole.end(), rest.begin(), rest.end());
    EXPECT_EQ(whole, cleanFrames(3, 1)[0]);
    rig.board->setSlowBoard(0ms);
    EXPECT_EQ(pollOnce(*rig.host).size(), 21u);
}

TEST(BoardFaults, FaultCallsFromAnotherThreadWhileAHostPolls)
{
    Rig rig;
    ASSERT_TRUE(rig.started && rig.host->ok());
    std::atomic<bool> done{false};
    std::thread meddler([&] {
        for (int i = 0; !done; ++i) {
            rig.board->injectStrayBytes({0x01});
            rig.board->flipReplyByte(static_cast<std::size_t>(i % 21), 0x01);
            rig.board->dropReplyBytes(1, static_cast<std::size_t>(i % 21));
            rig.board->setSilent(i % 3 == 0);
            rig.board->setSlowBoard(std::chrono::milliseconds(i % 2));
            rig.board->setPaced(i % 2 == 0);
            rig.board->setEeprom(i % 16, static_cast<std::int16_t>(i));
            (void)rig.board->counters();
            (void)rig.board->frames();
            std::this_thread::sleep_for(1ms);
        }
    });
    for (int i = 0; i < 40; ++i) {
        rig.host->send({0xEE, 0x08, 0x02});
        rig.host->readFor(3ms);
    }
    done = true;
    meddler.join();
    rig.board->clearFaults();
    rig.board->setPaced(false);
    rig.host->readFor(100ms);
    EXPECT_EQ(rig.board->counters().malformedFrames, 0u);
    EXPECT_EQ(rig.board->frames(FrameKind::Poll).size(), 40u);

    // Unplug and replug racing the board's own thread.
    std::thread plugger([&] {
        for (int i = 0; i < 20; ++i) {
            rig.board->unplug();
            rig.board->replug();
        }
    });
    plugger.join();
    ASSERT_TRUE(rig.board->pluggedIn());
    HostLine fresh(rig.board->linkPath());
    ASSERT_TRUE(fresh.ok());
    EXPECT_EQ(pollOnce(fresh).size(), 21u);
}
