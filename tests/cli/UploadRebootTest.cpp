// plovex-cli upload and reboot against a simulated board.

#include "tests/cli/CliProcess.h"
#include "tests/cli/CliTestUtil.h"
#include "tests/cli/TestBoard.h"

#include <cstdio>
#include <regex>
#include <gtest/gtest.h>

using namespace clitest;
using plovex::sim::FrameKind;

namespace {

using Bytes = std::vector<uint8_t>;

// An image whose bytes all differ from their neighbours and whose last byte is not 0x00.
Bytes makeImage(std::size_t size)
{
    Bytes image(size);
    for (std::size_t i = 0; i < size; ++i)
        image[i] = static_cast<uint8_t>((i * 37 + 11) % 251 + 1);
    return image;
}

std::string writeImage(const testsupport::TempDir& dir, const std::string& name, const Bytes& image)
{
    const auto path = dir / name;
    testsupport::writeFile(path, std::string(image.begin(), image.end()));
    return path.string();
}

// The block frames the image must go out as, worked out here byte by byte.
std::vector<Bytes> expectedFrames(const Bytes& image)
{
    std::vector<Bytes> frames;
    for (std::size_t start = 0;; start += 64) {
        Bytes f = {0x9A, 0x71, static_cast<uint8_t>(start >> 8), static_cast<uint8_t>(start & 0xFF)};
        for (std::size_t i = 0; i < 64; ++i)
            f.push_back(start + i < image.size() ? image[start + i] : 0);
        unsigned sum = 0;
        for (const uint8_t b : f)
            sum += b;
        f.push_back(static_cast<uint8_t>((sum >> 8) & 0xFF));
        f.push_back(static_cast<uint8_t>(sum & 0xFF));
        frames.push_back(f);
        if (start + 64 > image.size())
            return frames;
    }
}

// "0  9A, 71, 0, 0, ..." for each frame: the address, then the 68 bytes before the checksum.
std::string expectedConsole(const std::vector<Bytes>& frames)
{
    std::string text;
    for (std::size_t n = 0; n < frames.size(); ++n) {
        text += std::to_string(n * 64) + "  ";
        char hex[8];
        for (std::size_t i = 0; i < 68; ++i) {
            std::snprintf(hex, sizeof hex, "%X, ", frames[n][i]);
            text += hex;
        }
        text += "\n";
    }
    return text;
}

// The console lines, then the summary of the upload of file to port: its bytes, blocks and time.
void expectConsoleThenSummary(const std::string& out, const Bytes& image, const std::string& file,
                              const std::string& port)
{
    const auto frames = expectedFrames(image);
    const std::string console = expectedConsole(frames);
    ASSERT_EQ(out.substr(0, console.size()), console) << "standard output carries the console lines first";
    const std::string summary = "Sent " + file + " to " + port + ": " + std::to_string(image.size()) + " bytes, " +
                                std::to_string(frames.size()) + " blocks, ";
    ASSERT_EQ(out.substr(console.size(), summary.size()), summary) << out.substr(console.size());
    EXPECT_TRUE(std::regex_match(out.substr(console.size() + summary.size()), std::regex("[0-9]+\\.[0-9] s\\.\n")))
        << out.substr(console.size());
}

void expectUpload(TestBoard& board, const Bytes& image, std::size_t frameCount)
{
    testsupport::TempDir dir;
    const std::string file = writeImage(dir, "image.bin", image);
    board->clearFrames();
    const auto r = runCli({"upload", file, "--port", board.path(), "--no-snapshot"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const auto frames = expectedFrames(image);
    ASSERT_EQ(frames.size(), frameCount);
    expectConsoleThenSummary(r.out, image, file, board.path());
    const auto received = board.waitFrames(FrameKind::ProgramBlock, frameCount);
    ASSERT_EQ(received.size(), frameCount);
    for (std::size_t i = 0; i < frameCount; ++i) {
        EXPECT_EQ(received[i].bytes, frames[i]) << "frame " << i;
        EXPECT_TRUE(received[i].accepted) << received[i].problem;
    }
    EXPECT_EQ(board->frames().size(), frameCount) << "nothing but the blocks";
    EXPECT_EQ(board->image(), image);
}

void expectNothingSent(TestBoard& board, const std::vector<std::string>& args, const std::string& named)
{
    board->clearFrames();
    const auto before = board->counters().bytesReceived;
    const auto r = runCli(args);
    EXPECT_EQ(r.exitCode, 1) << args[1];
    EXPECT_TRUE(contains(r.err, named)) << r.err;
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(board->counters().bytesReceived, before) << args[1];
}

} // namespace

TEST(Upload, SendsAHundredBytesAsTwoBlocksWithFillAndChecksums)
{
    TestBoard board;
    expectUpload(board, makeImage(100), 2);
}

TEST(Upload, RefusesWhatItCannotSendWithoutSendingAnything)
{
    TestBoard board;
    testsupport::TempDir dir;
    const std::string tooLarge = writeImage(dir, "large.bin", Bytes(65536, 0x5A));
    expectNothingSent(board, {"upload", tooLarge, "--port", board.path()}, tooLarge);
    const std::string missing = (dir / "missing.bin").string();
    expectNothingSent(board, {"upload", missing, "--port", board.path()}, missing);
    expectNothingSent(board, {"upload", dir.path().string(), "--port", board.path()}, dir.path().string());

    const std::string image = writeImage(dir, "small.bin", makeImage(10));
    const auto r = runCli({"upload", image, "--port", missingPort()});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(contains(r.err, missingPort())) << r.err;
    EXPECT_EQ(r.out, "");
}

TEST(Upload, ShowsAProgressBarOnATerminalWhileStandardOutputKeepsTheLines)
{
    TestBoard board;
    testsupport::TempDir dir;
    const Bytes image = makeImage(100);
    const std::string file = writeImage(dir, "image.bin", image);
    CliOptions terminal;
    terminal.stderrTerminal = true;
    const auto r = runCli({"upload", file, "--port", board.path(), "--no-snapshot"}, terminal);
    ASSERT_EQ(r.exitCode, 0) << r.err;
    expectConsoleThenSummary(r.out, image, file, board.path());
    EXPECT_TRUE(contains(r.err, "\u2588")) << r.err;
    EXPECT_TRUE(contains(r.err, " 50%  0.50 s left")) << r.err;
    EXPECT_TRUE(contains(r.err, "100%  0.25 s left")) << r.err;

    // Not a terminal: no bar.
    const auto piped = runCli({"upload", file, "--port", board.path(), "--no-snapshot"});
    ASSERT_EQ(piped.exitCode, 0) << piped.err;
    EXPECT_FALSE(contains(piped.err, "%")) << piped.err;
}

TEST(Reboot, PutsExactlyTheRebootFrameOnTheLine)
{
    TestBoard board;
    const auto r = runCli({"reboot", "--port", board.path()});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const auto frames = board.waitFrames(FrameKind::Reboot, 1);
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(frames[0].bytes, (Bytes{0x9B, 0xA5}));
    EXPECT_EQ(board->counters().bytesReceived, 2u);
    EXPECT_EQ(board->counters().reboots, 1u);

    const auto missing = runCli({"reboot", "--port", missingPort()});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_TRUE(contains(missing.err, missingPort())) << missing.err;
}
