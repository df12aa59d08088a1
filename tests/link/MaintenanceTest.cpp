// The maintenance operations no control of the window reaches: the
// diagnostic loop, the firmware upload and the reboot.

#include "tests/support/LinkRig.h"
#include "tests/support/LogCapture.h"
#include "tests/support/PtyPeer.h"

#include <gtest/gtest.h>

#include <future>

using namespace plovex;
using namespace testsupport;
using plovex::sim::FrameKind;

namespace {

// An image of n bytes, none of its own last bytes 0.
std::string image(const TempDir& dir, std::size_t n)
{
    std::string data;
    for (std::size_t i = 0; i < n; ++i)
        data += static_cast<char>(i * 7 + 1);
    writeFile(dir / std::to_string(n), data);
    return (dir / std::to_string(n)).string();
}

} // namespace

TEST(DiagnosticLoop, LogsEveryByteAndAnswersEachRequestAtOnce)
{
    LogCapture log;
    PtyPeer peer;
    MainSide main;
    auto port = main.openLoop(LoopKind::Diagnostic, peer.slavePath());
    peer.write({0x41, 0x0E});
    EXPECT_EQ(peer.read(11, 30s), (Bytes{0x0E, 0x02, 0x37, 0x00, 0x11, 0x00, 0x00, 0x00, 0x36, 0x02, 0xA7}));
    peer.write({0xEE, 0x29, 0x00, 0x00, 0x00, 0x12, 0x34, 0x00});
    EXPECT_EQ(peer.read(7, 30s), (Bytes{0x29, 0x12, 0x34, 0x00, 0x34, 0x12, 0x91}));
    peer.write({0x29, 0x01, 0x02}); // v never arrives: no reply made up
    EXPECT_TRUE(peer.drain(300ms).empty());
    peer.write({0xF1});
    EXPECT_EQ(peer.read(5, 30s), (Bytes{0xF0, 0x00, 0x06, 0x00, 0xF6}));
    const auto entries = log.entries();
    EXPECT_EQ(std::vector<std::string>(entries.begin(), entries.begin() + 6),
              (std::vector<std::string>{"41, ", "e, ", "received a 0E", "ee, ", "29, ", "received a 29"}))
        << "the poll byte is logged and passed over; a request's further bytes are not logged";
    main.loop.runPending();
    EXPECT_TRUE(main.delivered.empty()) << "an open line posts no record";
}

TEST(DiagnosticLoop, AClosedLineGivesTenEntryRecordsCountingTheAttempts)
{
    LogCapture log;
    MainSide main;
    auto port = main.port(LoopKind::Diagnostic, kMissingPort, std::make_shared<TestClock>());
    ASSERT_TRUE(main.loop.runUntil([&] { return main.delivered.size() >= 3; }, 30s));
    port.reset();
    for (int i = 0; i < 3; ++i) {
        const auto& d = main.delivered[i];
        EXPECT_TRUE(d.data() && d.record->count() == 10 && !d.record->contains("commState"));
        EXPECT_EQ(std::pair(d["temp"], d["packetCount"]), std::pair(i, i));
    }
    EXPECT_TRUE(log.entries().empty());
}

TEST(Upload, ImagesGoOutAsChecksummedBlocksWithTheLastOneZeroFilled)
{
    TempDir dir;
    for (const std::size_t n : {100u, 0u, 64u, 128u, 65535u}) {
        Board board; // checks every block's checksum and keeps the image
        MainSide main;
        auto clock = std::make_shared<TestClock>();
        auto port = main.port(LoopKind::None, board.path(), clock);
        ASSERT_GE(port->OpenPort(), 0);
        CaptureStdout console;
        EXPECT_TRUE(port->sendProgram(image(dir, n)));
        const std::string lines = console.finish();
        const std::size_t blocks = n / 64 + 1;
        const auto frames = board.frames(FrameKind::ProgramBlock, blocks);
        ASSERT_EQ(frames.size(), blocks) << n << " bytes";
        for (std::size_t i = 0; i < blocks; ++i)
            EXPECT_TRUE(frames[i].accepted && frames[i].bytes[2] * 256 + frames[i].bytes[3] == static_cast<int>(64 * i))
                << frames[i].problem;
        EXPECT_EQ(board->frames().size(), blocks) << "nothing but the blocks";
        EXPECT_EQ(clock->pauses(), std::vector<double>(blocks, 0.25));
        EXPECT_EQ(std::count(lines.begin(), lines.end(), '\n'), static_cast<long>(blocks));
        board->stop(); // ends the upload: the image is complete
        const std::string data = readFile(dir / std::to_string(n));
        EXPECT_EQ(board->image(), Bytes(data.begin(), data.end())) << n << " bytes";
        if (n == 100) {
            const std::string second = lines.substr(lines.find('\n') + 1);
            EXPECT_EQ(lines.rfind("0  9A, 71, 0, 0, 1, 8, F, 16, ", 0), 0u) << lines;
            EXPECT_EQ(second.rfind("64  9A, 71, 0, 40, C1, C8, ", 0), 0u) << second;
            EXPECT_EQ(std::count(second.begin(), second.end(), ','), 68) << "68 values, each followed by a comma";
            EXPECT_NE(second.find(", 0, 0, \n"), std::string::npos) << "the fill shows as 0";
        }
    }
}

TEST(Upload, AWriteWaitsForTheWholeUploadAndAClosedPortSendsNothing)
{
    TempDir dir;
    Board board;
    MainSide main;
    auto clock = std::make_shared<TestClock>();
    auto port = main.port(LoopKind::None, board.path(), clock);
    ASSERT_GE(port->OpenPort(), 0);
    CaptureStdout console; // (files that cannot go out: plovex-cli upload's test)
    std::future<void> write;
    clock->onPause = [&](double) {
        if (!write.valid())
            write = std::async(std::launch::async, [&] { port->writeEEPROM(2, 0x0102); });
    };
    EXPECT_TRUE(port->sendProgram(image(dir, 130)));
    write.get();
    port->sendReboot();
    board.frames(FrameKind::Reboot, 1);
    std::vector<FrameKind> kinds;
    for (const auto& f : board->frames())
        kinds.push_back(f.kind);
    EXPECT_EQ(kinds, (std::vector<FrameKind>{FrameKind::ProgramBlock, FrameKind::ProgramBlock, FrameKind::ProgramBlock,
                                             FrameKind::Write, FrameKind::Reboot}));
    EXPECT_EQ(board->counters().bytesReceived, 3 * 70 + 6 + 2u);
    port->reset();
    EXPECT_FALSE(port->sendProgram(image(dir, 10))) << "a closed port sends nothing and says so";
    const std::string lines = console.finish();
    EXPECT_EQ(std::count(lines.begin(), lines.end(), '\n'), 3) << "one line per block, of the one upload that went out";
}
