// The simulated board: how it scores a host in diagnostic-peer mode, its
// links in the file system and the pace of its replies. (What it does with
// each frame a host sends is checked by its fuzz targets against a model, on
// every saved input.)

#include "platform/RuntimeDir.h"
#include "sim/BoardCore.h"
#include "sim/DiagnosticPeer.h"
#include "sim/LinePacer.h"
#include "sim/Motion.h"
#include "tests/support/LinkRig.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

using namespace plovex::sim;
using namespace testsupport;
namespace fs = std::filesystem;

TEST(DiagnosticPeer, ScoresEachReplyOfTheHost)
{
    BoardCore core(1, BoardTimings{}, 100);
    DiagnosticPeer peer(1, PeerTimings{}, core);
    auto t = BoardClock::now();
    // Answers the first round right, then 0x0E wrong and 0x28 not at all.
    for (int n = 0; n < 7; ++n) {
        auto writes = peer.due(t += 10ms);
        ASSERT_FALSE(writes.empty()) << n;
        const Bytes request = writes.back();
        Bytes reply = DiagnosticPeer::expectedReply(request);
        if (n == 5)
            reply.back() ^= 1;
        if (n != 6)
            peer.receive(reply, t += 1ms);
        peer.tick(t += 2s);
    }
    const auto c = core.counters();
    EXPECT_EQ(std::tuple(c.diagRequestsSent, c.diagCorrect, c.diagWrong, c.diagUnanswered), std::tuple(7u, 5u, 1u, 1u));
    EXPECT_EQ(DiagnosticPeer::expectedReply({0x29, 0, 0, 0, 0xFF, 0xC0, 0}), (Bytes{0x29, 0xFF, 0xC0, 0x00, 0x34, 0x00, 0x1D}));
}

TEST(SimulatedBoard, ListsItselfWhileItRunsAndForgetsWhatAHostLeftUnread)
{
    TempDir dir;
    ScopedEnv runtime("XDG_RUNTIME_DIR", dir.path().string());
    writeFile(dir / "file", "keep me");
    BoardOptions onFile;
    onFile.linkPath = (dir / "file").string();
    EXPECT_FALSE(SimulatedBoard(onFile).start()) << "a file is never replaced by a link";
    EXPECT_EQ(readFile(dir / "file"), "keep me");
    {
        BoardOptions o;
        o.linkPath = (dir / "mine").string();
        SimulatedBoard board(o);
        ASSERT_TRUE(board.start()) << board.error();
        EXPECT_EQ(board.publishedLinkPath(), (platform::simulatorLinkDir() / "mine").string());
        EXPECT_EQ(fs::read_symlink(board.publishedLinkPath()), board.slavePath());
        EXPECT_EQ(fs::read_symlink(board.linkPath()), board.slavePath());
        EXPECT_EQ(platform::simulatorLinkHeld(board.publishedLinkPath()), true) << "discovery sees it alive";

        const int first = ::open(board.linkPath().c_str(), O_RDWR | O_NOCTTY);
        ASSERT_EQ(::write(first, "\xEE", 1), 1); // polls, then goes without reading the frame
        ASSERT_TRUE(waitFor([&] { return board.counters().pollsAnswered == 1; }));
        ::close(first);
        ASSERT_TRUE(waitFor([&] { return board.counters().hostHangUps == 1; }));
        MainSide main;
        auto next = main.port(plovex::LoopKind::None, board.linkPath());
        ASSERT_GE(next->OpenPort(), 0);
        int16_t value = 0;
        EXPECT_EQ(next->readEEPROM(2, &value), 1);
        EXPECT_EQ(value, 10) << "the next host reads its own reply, not the frame left behind";
    }
    EXPECT_TRUE(fs::is_empty(platform::simulatorLinkDir())) << "links left behind";
    EXPECT_FALSE(fs::exists(fs::symlink_status(dir / "mine")));
}

TEST(LinePacer, AReplyGoesOutNoSoonerThanTheLineWouldCarryItAndEndsExactlyThen)
{
    // 21 bytes at 260 us a byte, sent at most every millisecond.
    LinePacer pacer;
    pacer.setPerByte(260us);
    const auto t0 = LinePacer::Clock::time_point{} + 1s;
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

TEST(Motion, HoldsATiltOrSweepsToAndFroByThePollsTime)
{
    using std::chrono::milliseconds;
    const BoardClock::time_point t0{std::chrono::hours(1)};
    auto degrees = [](std::int16_t kal) { return kal * 90.0 / kCountsPer90Degrees; };
    Motion motion(7);
    motion.setPlan({.kind = MotionPlan::Kind::Hold, .x = 2.5, .y = -89.99});
    for (int i = 0; i < 3; ++i) {
        const auto m = motion.next(t0 + milliseconds(i * 500));
        EXPECT_NEAR(degrees(m.xKal), 2.5, 0.003);
        EXPECT_NEAR(degrees(m.yKal), -89.99, 0.003) << "beyond the wandering body's 60 degrees";
        EXPECT_NEAR(m.xRaw, m.xKal, 40);
        EXPECT_NEAR(m.temp, 235, 7);
    }
    // From -1 to 3 in 4 s, then back: it starts at from when the sweep is set.
    motion.setPlan({.kind = MotionPlan::Kind::Sweep, .y = 1, .from = -1, .to = 3, .seconds = 4});
    const std::pair<int, double> sweep[] = {{0, -1}, {1000, 0}, {4000, 3}, {5000, 2}, {8000, -1}, {9000, 0}};
    for (const auto& [ms, x] : sweep) {
        const auto m = motion.next(t0 + milliseconds(10'000 + ms));
        EXPECT_NEAR(degrees(m.xKal), x, 0.003) << ms << " ms";
        EXPECT_NEAR(degrees(m.yKal), 1, 0.003);
    }
    // Wandering again, as a fresh body of the same seed would after as many polls.
    motion.setPlan({});
    Motion fresh(7);
    for (int i = 0; i < 9; ++i)
        fresh.next();
    EXPECT_EQ(Motion::encode(motion.next(t0)), Motion::encode(fresh.next()));
}
