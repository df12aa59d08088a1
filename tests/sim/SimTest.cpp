// The simulated board: what it does with each frame a host sends, how it
// scores a host in diagnostic-peer mode, and its links in the file system.

#include "platform/RuntimeDir.h"
#include "sim/BoardCore.h"
#include "sim/DiagnosticPeer.h"
#include "tests/support/LinkRig.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <numeric>
#include <unistd.h>

using namespace plovex::sim;
using namespace testsupport;
namespace fs = std::filesystem;

namespace {

Bytes block(uint16_t address, uint8_t fill, int checksumError = 0)
{
    Bytes b = {0x9A, 0x71, static_cast<uint8_t>(address >> 8), static_cast<uint8_t>(address)};
    b.resize(68, fill);
    const unsigned sum = std::accumulate(b.begin(), b.end(), 0u) + static_cast<unsigned>(checksumError);
    b.push_back(static_cast<uint8_t>(sum >> 8));
    b.push_back(static_cast<uint8_t>(sum));
    return b;
}

Bytes frameBytes(const Values& v)
{
    Bytes b = {0xEE};
    for (const int x : v)
        b.insert(b.end(), {static_cast<uint8_t>(static_cast<uint16_t>(x) >> 8), static_cast<uint8_t>(x)});
    return b;
}

} // namespace

TEST(BoardCore, AnswersAndAppliesOnlyWhatTheWireAllows)
{
    BoardCore core(3, BoardTimings{}, 100);
    auto t = BoardClock::now();
    struct Case {
        Bytes sent;
        Bytes reply; // the whole reply, or for a poll its first 19 bytes
        int word;    // an EEPROM word to look at afterwards (-1: none)
        int16_t value;
        uint64_t malformed, badChecksums;
    };
    const Case cases[] = {
        {{0xEE}, frameBytes(boardFrame(3, 0)), -1, 0, 0, 0},
        {{0x08, 0x02}, {0x00, 0x0A}, -1, 0, 0, 0},
        {{0x09, 0x71, 0x05, 0xFF, 0xFF, 0xAA, 0x08, 0x05}, {0xFF, 0xFF}, 5, -1, 0, 0},
        {{0x99, 0x71, 0x10, 0x12, 0x34, 0xAA}, {}, 16, 0x1234, 0, 0},
        {{0x09, 0x71, 0x10, 0x00, 0x01, 0xAA}, {}, 16, 0x1234, 1, 0}, // 0x09 serves 0..15 only
        {{0x99, 0x71, 0x05, 0x00, 0x01, 0xAA}, {}, 5, -1, 2, 0},      // 0x99 serves 16..255 only
        {{0x09, 0x72, 0x05, 0x00, 0x01, 0xAA}, {}, 5, -1, 3, 0},
        {{0x09, 0x71, 0x05, 0x00, 0x01, 0xAB}, {}, 5, -1, 4, 0},
        {block(0x0040, 0x5A), {}, -1, 0, 4, 0},
        {block(0x0080, 0x5A, 1), {}, -1, 0, 4, 1},
        {block(0x0020, 0x5A), {}, -1, 0, 5, 1}, // not a multiple of 64
        {{0xEE}, frameBytes(boardFrame(3, 1)), -1, 0, 5, 1},
    };
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const auto& c = cases[i];
        Bytes out;
        core.receive(c.sent, t += 10ms, out);
        if (c.sent[0] == 0xEE)
            out.resize(19); // the trailer is the board's own affair
        EXPECT_EQ(out, c.reply) << "case " << i;
        EXPECT_EQ(c.word < 0 || core.eeprom().get(c.word) == c.value, true) << "case " << i;
        EXPECT_EQ(core.counters().malformedFrames, c.malformed) << "case " << i;
        EXPECT_EQ(core.counters().badChecksumBlocks, c.badChecksums) << "case " << i;
    }
    core.endUpload();
    Bytes image(128, 0);
    std::fill(image.begin() + 64, image.end(), 0x5A);
    EXPECT_EQ(core.image(), image);

    Bytes out;
    auto hear = [&](Bytes b, std::chrono::milliseconds after) { core.receive(b, t += after, out); };
    hear({0x9B, 0xA5, 0xEE}, 10ms); // a reboot, then a poll it does not hear
    hear({0xEE}, 400ms);
    EXPECT_TRUE(out.empty()) << "the board is deaf and mute while it reboots";
    hear({0x08}, 200ms);
    hear({0x02}, 150ms); // a frame stalled longer than the gap is cut
    hear({0x08, 0x02}, 10ms);
    EXPECT_EQ(out, (Bytes{0x00, 0x0A}));
    EXPECT_EQ(core.counters().reboots, 1u);
}

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
