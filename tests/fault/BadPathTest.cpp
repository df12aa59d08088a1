// A remembered port path that names no serial device: a folder, a regular
// file, /dev/null. Opening fails with the set-up step's message (or none,
// when open itself fails), nothing is written to the file, and no descriptor
// is left behind, however many times the loop tries again.

#include "tests/fault/FaultRig.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

using namespace faulttest;
namespace fs = std::filesystem;

namespace {

std::string exclusiveUseMessage(const std::string& path)
{
    return "Error setting TIOCEXCL on " + path + " - " + std::strerror(ENOTTY) + "(" + std::to_string(ENOTTY) + ").\n";
}

struct Attempt {
    int result;
    std::string output;
    int8_t flag;
};

Attempt openOnce(const std::string& path)
{
    linktest::MainSide main;
    plovex::commPort port(main.options(plovex::LoopKind::None, platform::realSleeper()));
    port.setCommPortPath(path);
    port.setBaudRate(38400);
    testsupport::CaptureStdout out;
    const int r = port.OpenPort();
    return {r, out.finish(), port.portOpenOK()};
}

std::string repeated(const std::string& line, std::size_t n)
{
    std::string s;
    for (std::size_t i = 0; i < n; ++i)
        s += line;
    return s;
}

} // namespace

TEST(BadPath, AFolderFailsToOpenSilently)
{
    testsupport::TempDir dir;
    const int before = testsupport::openDescriptorCount();
    const auto a = openOnce(dir.path().string());
    EXPECT_EQ(a.result, -1);
    EXPECT_EQ(a.output, "") << "a failed open prints nothing";
    EXPECT_EQ(a.flag, 0);
    EXPECT_EQ(testsupport::openDescriptorCount(), before);
}

TEST(BadPath, ARegularFileOrDevNullIsRefusedAtExclusiveUseAndLeftUntouched)
{
    testsupport::TempDir dir;
    const auto file = dir / "port";
    testsupport::writeFile(file, "remembered\n");
    const auto stamp = fs::last_write_time(file);
    const int before = testsupport::openDescriptorCount();

    const auto a = openOnce(file.string());
    EXPECT_EQ(a.result, -1);
    EXPECT_EQ(a.output, exclusiveUseMessage(file.string()));
    EXPECT_EQ(a.flag, 0);
    const auto b = openOnce("/dev/null");
    EXPECT_EQ(b.result, -1);
    EXPECT_EQ(b.output, exclusiveUseMessage("/dev/null"));
    EXPECT_EQ(b.flag, 0);

    EXPECT_EQ(testsupport::openDescriptorCount(), before);
    EXPECT_EQ(testsupport::readFile(file), "remembered\n");
    EXPECT_EQ(fs::last_write_time(file), stamp);
}

TEST(BadPath, TheLoopRetriesEachCycleWithOneMessageAndNoLeak)
{
    testsupport::TempDir dir;
    const auto file = dir / "port";
    testsupport::writeFile(file, "remembered\n");
    const int before = testsupport::openDescriptorCount();
    constexpr int kCycles = 12;
    for (const auto& path : {file.string(), dir.path().string()}) {
        Rig rig;
        ASSERT_TRUE(rig.board.start()) << rig.board.error(); // unused: the port points elsewhere
        rig.clock->setStepping(true);
        auto o = rig.main.options(plovex::LoopKind::Acquisition, rig.clock, 3);
        o.mainThread = &rig.handOver;
        std::string output;
        {
            testsupport::CaptureStdout out;
            rig.port = std::make_unique<plovex::commPort>(o);
            rig.port->setCommPortPath(path);
            rig.port->setBaudRate(38400);
            ASSERT_TRUE(rig.clock->waitPaused());
            ASSERT_TRUE(rig.clock->cycles(kCycles));
            output = out.finish();
        }
        rig.deliver();
        const std::string expect = path == file.string() ? repeated(exclusiveUseMessage(path), kCycles) : "";
        EXPECT_EQ(output, expect) << path;
        ASSERT_EQ(rig.main.delivered.size(), 2u * kCycles) << path;
        for (int i = 0; i < kCycles; ++i) {
            EXPECT_TRUE(isLinkDown(rig.main.delivered[2 * static_cast<std::size_t>(i)])) << path << " cycle " << i;
            EXPECT_TRUE(isParameter(rig.main.delivered[2 * static_cast<std::size_t>(i) + 1])) << path;
        }
        EXPECT_EQ(rig.port->portOpenOK(), 0);
        EXPECT_EQ(rig.board.counters().bytesReceived, 0u);
    }
    EXPECT_EQ(testsupport::openDescriptorCount(), before);
    EXPECT_EQ(testsupport::readFile(file), "remembered\n");
}
