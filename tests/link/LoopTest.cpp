// The acquisition loop against the simulated board: what it hands over, in
// which order and when, with the port closed, open, silent, faulty, reset,
// unplugged and raced by writes from the main thread.

#include "tests/support/LinkRig.h"
#include "tests/support/PtyPeer.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <map>
#include <numeric>
#include <random>
#include <set>
#include <unistd.h>

using namespace plovex;
using namespace testsupport;

namespace {

// A loop on a simulated board (seed 1), its line opened in the start pause
// and held there by the clock. The line timeout is the application's, 1.0 s,
// unless a test waits for timeouts, and then no shorter than 0.3 s: a loaded
// machine's stall must not look like a lost frame.
struct Loop {
    explicit Loop(sim::BoardOptions o = {}, int lineTimeout = 10)
        : board(o), port(main.openLoop(LoopKind::Acquisition, board.path(), clock, lineTimeout, true))
    {
    }
    std::vector<Values> frames() const // of the measurement records delivered so far
    {
        std::vector<Values> v;
        for (const auto& d : main.delivered)
            if (d.measurement())
                v.push_back(valuesOf(d));
        return v;
    }
    std::size_t nextCycle() const { return clock->pauses().size() - 1; }
    Board board;
    MainSide main;
    std::shared_ptr<TestClock> clock = std::make_shared<TestClock>();
    std::unique_ptr<commPort> port;
};

} // namespace

TEST(AcquisitionLoop, AClosedPortGivesALinkDownAndAParameterRecordEachSecondUntilItOpens)
{
    Board board;
    MainSide main;
    auto clock = std::make_shared<TestClock>();
    clock->hold();
    auto port = main.port(LoopKind::Acquisition, kMissingPort, clock);
    ASSERT_TRUE(clock->parked());
    main.loop.runPending();
    EXPECT_TRUE(main.delivered.empty()) << "nothing before the start pause has passed";
    constexpr int cycles = 1005; // past the cycle counter's wrap
    ASSERT_TRUE(clock->step(cycles));
    port->setCommPortPath(board.path());
    clock->release();
    ASSERT_TRUE(main.runUntilNext(2 * cycles + 3, &Delivered::parameter));
    port.reset();
    const auto pauses = clock->pauses();
    EXPECT_EQ(std::vector<double>(pauses.begin(), pauses.begin() + cycles + 2), std::vector<double>(cycles + 2, 1.0));
    const auto read = main.named("inclinoParameter")[cycles + 1];
    EXPECT_EQ(std::pair(read["paddress"], read["pdata"]), std::pair((cycles + 1) % 16, int{board->eeprom(14)}))
        << "the sweep goes on where the link-down cycles left it";
    for (int c = 0; c <= cycles; ++c) { // the cycle that opened the port still reports it down
        const auto& data = main.delivered[2 * c];
        const auto& param = main.delivered[2 * c + 1];
        ASSERT_TRUE(data.linkDown() && param.parameter()) << c << ": in a link-down cycle the measurement comes first";
        EXPECT_EQ(valuesOf(data), (Values{0, 1, 2, 3, 4, 5, 6, 7, c}));
        EXPECT_EQ(data["packetCount"], c);
        EXPECT_EQ(param["paddress"], c % 16);
        ASSERT_EQ(param["pdata"], c % 1002) << "the cycle counter runs 0..1001";
    }
    const auto& first = main.delivered[2 * cycles + 2];
    EXPECT_EQ(std::pair(first["packetCount"], valuesOf(first)), std::pair(cycles + 1, boardFrame(1, 0)))
        << "the first frame counts on from the link-down cycles";
}

TEST(AcquisitionLoop, EndingTheFirstPauseStartsTheCyclesAtOnceAndLeavesTheirPausesAlone)
{
    MainSide main;
    auto clock = std::make_shared<TestClock>();
    clock->hold();
    auto port = main.port(LoopKind::Acquisition, kMissingPort, clock);
    ASSERT_TRUE(clock->parked());
    port->endFirstPause(); // as plovex-cli monitor does once the line is set up
    ASSERT_TRUE(waitFor([&] { return clock->pauses().size() == 2; })) << "the first cycle ran without a step";
    ASSERT_TRUE(clock->step(1));
    port.reset();
    EXPECT_EQ(clock->pauses(), (std::vector<double>{1.0, 1.0, 1.0})) << "a link-down cycle still pauses 1 s";
    main.loop.runPending();
    EXPECT_EQ(main.named("inclinoData").size(), 2u);
}

TEST(AcquisitionLoop, AnOpenPortReadsAParameterFirstThenPollsEveryFrameExactly)
{
    Loop l;
    l.clock->release();
    ASSERT_TRUE(l.main.loop.runUntil([&] { return l.main.delivered.size() >= 110; }, 30s));
    l.port.reset();
    ASSERT_TRUE(l.main.delivered[0].parameter());
    std::size_t frames = 0, params = 0;
    for (const auto& x : l.main.delivered) {
        if (x.parameter()) {
            EXPECT_EQ(frames % 5, 0u) << "parameters are read in cycles 0, 5, 10, ... before the poll";
            EXPECT_EQ(x["paddress"], static_cast<int>(params++ % 16));
            EXPECT_EQ(x["pdata"], l.board->eeprom(x["paddress"]));
        } else {
            EXPECT_EQ(std::pair(x["commState"], x["packetCount"]), std::pair(1, static_cast<int>(frames)));
            EXPECT_EQ(valuesOf(x), boardFrame(1, frames++)) << "frame " << frames;
        }
    }
    EXPECT_GE(params, 17u);
    auto pauses = l.clock->pauses();
    EXPECT_EQ(pauses[0], 1.0);
    pauses.erase(pauses.begin());
    EXPECT_EQ(pauses, std::vector<double>(pauses.size(), 0.001)) << "0.001 s between exchanges";
}

TEST(AcquisitionLoop, ASilentOrCutShortBoardGivesNoRecordAndTheSweepWaitsForIt)
{
    sim::BoardOptions silent;
    silent.silent = true;
    Loop l(silent, 3);
    ASSERT_TRUE(l.clock->step(5)); // cycles 0..4, a parameter read in cycle 0
    l.board->setSilent(false);
    l.board->setReplyCut(1); // one reply byte, then silence
    ASSERT_TRUE(l.clock->step(2)); // a read in cycle 5
    l.main.loop.runPending();
    EXPECT_TRUE(l.main.delivered.empty()) << "no record at all";
    EXPECT_EQ(l.port->portOpenOK(), 1) << "silence is no lost device";
    EXPECT_EQ(l.board->counters().repliesWithheld, 6u) << "five polls and a read";
    l.board->setReplyCut(std::nullopt);
    l.clock->release();
    ASSERT_TRUE(l.main.runUntilNext(0, &Delivered::parameter));
    const auto param = l.main.named("inclinoParameter")[0];
    EXPECT_EQ(std::pair(param["paddress"], param["pdata"]), std::pair(0, int{l.board->eeprom(0)}))
        << "a failed read is tried again at its address";
    EXPECT_EQ(l.main.named("inclinoData")[0]["packetCount"], 0);
}

TEST(AcquisitionLoop, FaultyRepliesCostNoMoreThanTheFrameTheyHit)
{
    Loop l({}, 6);
    std::map<std::size_t, Values> changed; // board frame number -> what is delivered for it
    std::set<std::size_t> lost;
    // Sets a fault up for the poll of the next cycle without a parameter read.
    auto nextPoll = [&](const std::function<void()>& fault) {
        while (l.nextCycle() % 5 == 0)
            l.clock->step(1);
        const std::size_t k = l.board->counters().pollsAnswered;
        fault();
        l.clock->step(1);
        return k;
    };
    Bytes stray(200); // no 0xEE among them
    std::iota(stray.begin(), stray.end(), 0);
    nextPoll([&] { l.board->injectStrayBytes(stray); });
    for (const std::size_t offset : {1u, 9u, 20u})
        lost.insert(nextPoll([&] { l.board->dropReplyBytes(1, offset); }));
    lost.insert(nextPoll([&] { l.board->flipReplyByte(0, 0xFF); })); // the header
    const std::size_t flipped = nextPoll([&] { l.board->flipReplyByte(5, 0x01); });
    changed[flipped] = boardFrame(1, flipped);
    changed[flipped][2] ^= 0x0100; // offset 5 is the high byte of xRaw
    nextPoll([&] { l.board->flipReplyByte(19, 0xFF); }); // the trailer is never looked at
    // 35 ms a byte: the frame takes longer than the line timeout, but no gap comes near it.
    nextPoll([&] { l.board->setSlowBoard(35ms); });
    l.board->setSlowBoard(0ms);
    // More stray bytes than a poll hunts through: that poll gives up, and as
    // pending input is never thrown away, each frame from then on is read
    // one poll late.
    while (l.nextCycle() % 5 != 1)
        l.clock->step(1);
    nextPoll([&] { l.board->injectStrayBytes(Bytes(300, 0x55)); });
    l.clock->step(2);
    l.main.loop.runPending();
    std::vector<Values> expected;
    for (std::size_t k = 0; k + 1 < l.nextCycle(); ++k) // a poll each cycle; the last one's frame waits
        if (!lost.count(k))
            expected.push_back(changed.count(k) ? changed[k] : boardFrame(1, k));
    EXPECT_EQ(l.frames(), expected);
    EXPECT_EQ(lost.size(), 4u);
    EXPECT_TRUE(l.main.named("inclinoData").size() == l.frames().size()) << "no link-down record";
}

TEST(AcquisitionLoop, AResetWhileThePollWaitsForTheLockSendsNothing)
{
    Loop l;
    l.clock->release();
    ASSERT_TRUE(l.main.loop.runUntil([&] { return l.main.named("inclinoData").size() >= 3; }, 30s));
    PtyPeer stranger;
    std::unique_lock held(commPortTestAccess::lock(*l.port));
    ASSERT_TRUE(waitUntilLockAwaited(commPortTestAccess::lock(*l.port))); // the loop waits for the lock now
    const int oldFd = l.port->portDescriptor();
    commPortTestAccess::closeLocked(*l.port); // what reset does under the lock
    l.port->setCommPortPath(kMissingPort);
    const int reused = stranger.openHostAt(oldFd); // another device takes the number
    ASSERT_EQ(reused, oldFd);
    l.main.loop.runPending(); // what was handed over before the reset
    const std::size_t seen = l.main.delivered.size();
    held.unlock();
    ASSERT_TRUE(l.main.runUntilNext(seen, &Delivered::data));
    EXPECT_TRUE(stranger.drain(20ms).empty()) << "the waiting poll wrote to another device";
    ::close(reused);
    EXPECT_TRUE(l.main.named("inclinoData").back().linkDown()) << "the next cycle reports the link down";
}

TEST(AcquisitionLoop, AnUnpluggedBoardIsReportedDownAtOnceAndUpAfterOneSecondOnceBack)
{
    Loop l;
    l.clock->release();
    ASSERT_TRUE(l.main.runUntilNext(0, &Delivered::measurement));
    const int descriptors = openDescriptorCount();
    for (int i = 0; i < 10; ++i) {
        l.clock->hold();
        ASSERT_TRUE(l.clock->parked());
        const std::size_t from = l.main.delivered.size(), pausesBefore = l.clock->pauses().size();
        ASSERT_TRUE(l.board->unplug());
        // The next exchange finds the device gone; that cycle or the next reports it.
        for (int step = 0; step < 3 && l.clock->pauses().back() != 1.0; ++step)
            ASSERT_TRUE(l.clock->step(1));
        ASSERT_EQ(l.clock->pauses().back(), 1.0) << "cycle " << i << ": the loss was not noticed";
        EXPECT_LE(l.clock->pauses().size() - pausesBefore, 3u);
        ASSERT_TRUE(l.main.runUntilNext(from, &Delivered::linkDown, 0ms)) << "cycle " << i;
        ASSERT_TRUE(l.board->replug());
        // The cycle after the pause reopens the line, still reporting it down; the next one polls.
        ASSERT_TRUE(l.clock->step(1));
        EXPECT_EQ(l.clock->pauses().back(), 1.0);
        l.clock->release();
        ASSERT_TRUE(l.main.runUntilNext(l.main.delivered.size(), &Delivered::measurement)) << "cycle " << i;
    }
    EXPECT_EQ(openDescriptorCount(), descriptors);
}

TEST(AcquisitionLoop, WritesAndResetsFromTheMainThreadKeepEveryFrameWhole)
{
    Loop l;
    l.clock->release();
    std::mt19937 random(20240611);
    std::vector<std::pair<Bytes, bool>> issued; // each write's frame, and whether the line was open
    int resets = 0;
    for (int i = 0; i < 300; ++i) {
        if (random() % 12 == 0 && ++resets) {
            l.port->reset();
        } else {
            const int address = static_cast<int>(random() % 4 == 0 ? 16 + random() % 240 : random() % 16);
            const auto value = static_cast<int16_t>(i * 37 - 11000); // each frame names its write
            issued.push_back({{static_cast<uint8_t>(address < 16 ? 0x09 : 0x99), 0x71, static_cast<uint8_t>(address),
                               static_cast<uint8_t>(value >> 8), static_cast<uint8_t>(value), 0xAA},
                              l.port->portOpenOK() == 1}); // only this thread closes the line
            l.port->writeEEPROM(address, value);
        }
        if (random() % 3 == 0)
            l.main.loop.runFor(std::chrono::milliseconds(random() % 7));
    }
    ASSERT_TRUE(l.main.runUntilNext(l.main.delivered.size(), &Delivered::measurement));
    l.clock->hold();
    ASSERT_TRUE(l.clock->parked());
    l.main.loop.runPending();
    l.port->writeEEPROM(0, 12345); // the last write: once it is in, all are
    issued.push_back({{0x09, 0x71, 0x00, 0x30, 0x39, 0xAA}, true});
    ASSERT_TRUE(waitFor([&] { return l.board->eeprom(0) == 12345; }));
    const auto c = l.board->counters();
    EXPECT_EQ(c.malformedFrames + c.strayBytes, 0u) << "a frame was cut into or interleaved";
    // Writes arrive whole and in order; one made on an open line always arrives.
    std::size_t next = 0;
    for (const auto& f : l.board->frames(sim::FrameKind::Write)) {
        for (; next < issued.size() && issued[next].first != f.bytes; ++next)
            EXPECT_FALSE(issued[next].second) << "write " << next << " was made on an open line but never arrived";
        ASSERT_LT(next++, issued.size()) << "a write arrived out of order, or one never made";
    }
    for (; next < issued.size(); ++next)
        EXPECT_FALSE(issued[next].second) << "write " << next << " never arrived";
    EXPECT_GT(resets, 15);
    std::vector<Values> expected;
    for (std::size_t k = 0; k < c.pollsAnswered; ++k)
        expected.push_back(boardFrame(1, k));
    EXPECT_EQ(l.frames(), expected);
}
