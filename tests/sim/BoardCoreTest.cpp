// What the board does with frames, driven with made-up times (no line).

#include "sim/BoardCore.h"
#include "tests/sim/HostLine.h"
#include "tests/support/TestSupport.h"

#include <cstdlib>
#include <gtest/gtest.h>

using namespace plovex::sim;
using namespace std::chrono_literals;
using simtest::Bytes;
using simtest::programBlock;
using simtest::value16;
using simtest::writeFrame;

namespace {

struct CoreRig {
    explicit CoreRig(std::uint64_t seed = 7) : core(seed, BoardTimings{}, 1000) {}
    Bytes hear(const Bytes& bytes, std::chrono::milliseconds at)
    {
        Bytes out;
        core.receive(bytes, t0 + at, out);
        return out;
    }
    BoardCore core;
    BoardClock::time_point t0 = BoardClock::now();
};

Bytes imageOf(std::size_t n, std::uint8_t seed)
{
    Bytes img(n);
    for (std::size_t i = 0; i < n; ++i)
        img[i] = static_cast<std::uint8_t>(seed + i * 7 + 1) | 1; // never 0
    return img;
}

void upload(CoreRig& rig, const Bytes& img, std::chrono::milliseconds start)
{
    for (std::size_t off = 0, i = 0; off <= img.size(); off += 64, ++i) {
        Bytes part(img.begin() + static_cast<std::ptrdiff_t>(off),
                   img.begin() + static_cast<std::ptrdiff_t>(std::min(img.size(), off + 64)));
        rig.hear(programBlock(static_cast<std::uint16_t>(off), part), start + std::chrono::milliseconds(250 * i));
        if (part.size() < 64)
            break;
    }
}

} // namespace

TEST(BoardCore, MeasurementsAreDeterministicPlausibleAndSlow)
{
    CoreRig a(42), b(42), c(43);
    const int limit = 16383 * 60 / 90;
    int prevX = 0, minX = limit, maxX = -limit;
    for (int i = 0; i < 20000; ++i) {
        const auto f = a.hear({0xEE}, std::chrono::milliseconds(i));
        ASSERT_EQ(f.size(), 21u);
        ASSERT_EQ(f[0], 0xEE);
        if (i < 50) {
            EXPECT_EQ(f, b.hear({0xEE}, std::chrono::milliseconds(i)));
            if (i == 0) {
                EXPECT_NE(f, c.hear({0xEE}, std::chrono::milliseconds(i)));
            }
        }
        const int xKal = value16(f, 7), yKal = value16(f, 15);
        for (int off : {5, 7, 13, 15})
            ASSERT_LE(std::abs(value16(f, off)), limit) << "offset " << off << " poll " << i;
        for (int off : {1, 3, 9, 11})
            ASSERT_LE(std::abs(value16(f, off)), 8192);
        ASSERT_LE(std::abs(value16(f, 5) - xKal), 40);
        ASSERT_LE(std::abs(value16(f, 13) - yKal), 40);
        // Gravity has the sign of the tilt.
        if (std::abs(xKal) > 200) {
            ASSERT_EQ(value16(f, 3) > 0, xKal > 0);
        }
        const int temp = value16(f, 17);
        ASSERT_GE(temp, 228);
        ASSERT_LE(temp, 242);
        if (i > 0) {
            ASSERT_LE(std::abs(xKal - prevX), 60) << "tilt jumps at poll " << i;
        }
        prevX = xKal;
        minX = std::min(minX, xKal);
        maxX = std::max(maxX, xKal);
    }
    EXPECT_GT(maxX - minX, 16383 * 20 / 90) << "the tilt hardly moves";
    EXPECT_EQ(a.core.counters().pollsAnswered, 20000u);
}

TEST(BoardCore, EepromWritesAndReads)
{
    CoreRig rig;
    EXPECT_EQ(value16(rig.hear({0x08, 0x01}, 0ms), 0), 1000);
    EXPECT_EQ(value16(rig.hear({0x08, 0x03}, 0ms), 0), 300);
    rig.hear(writeFrame(3, -1), 1ms);
    rig.hear(writeFrame(200, 0x1234), 1ms);
    EXPECT_EQ(rig.hear({0x08, 0x03}, 2ms), (Bytes{0xFF, 0xFF}));
    EXPECT_EQ(rig.hear({0x08, 200}, 2ms), (Bytes{0x12, 0x34}));
    rig.hear({0x99, 0x71, 0x03, 0x00, 0x07, 0xAA}, 3ms); // a write to word 259
    EXPECT_EQ(rig.core.eeprom().get(3), -1);
    EXPECT_EQ(rig.core.counters().writesApplied, 2u);
    EXPECT_EQ(rig.core.counters().malformedFrames, 1u);
    EXPECT_EQ(rig.core.counters().readsAnswered, 4u);
}

TEST(BoardCore, AFrameStalledPastTheGapIsCutAndNeverApplied)
{
    CoreRig rig;
    const auto before = rig.core.eeprom().get(2);
    rig.hear({0x09, 0x71, 0x02}, 0ms);
    rig.core.tick(rig.t0 + 50ms);
    EXPECT_EQ(rig.core.counters().malformedFrames, 0u);
    rig.core.tick(rig.t0 + 100ms);
    EXPECT_EQ(rig.core.counters().malformedFrames, 1u);
    // The rest of the frame, late: stray bytes, nothing applied.
    rig.hear({0x00, 0x05, 0xAA}, 150ms);
    EXPECT_EQ(rig.core.eeprom().get(2), before);
    EXPECT_EQ(rig.core.counters().strayBytes, 3u);
    // A stall noticed only when the next bytes come cuts the frame as well.
    rig.hear({0x09, 0x71}, 200ms);
    rig.hear({0x02, 0x00, 0x05, 0xAA}, 400ms);
    EXPECT_EQ(rig.core.eeprom().get(2), before);
    EXPECT_EQ(rig.core.counters().malformedFrames, 2u);
    ASSERT_EQ(rig.core.frames().size(), 2u);
    EXPECT_EQ(rig.core.frames()[1].kind, FrameKind::Cut);
    EXPECT_EQ(rig.core.frames()[1].bytes, (Bytes{0x09, 0x71}));
}

TEST(BoardCore, KeepsTheUploadedImageAndWritesItWhenTheUploadEnds)
{
    testsupport::TempDir dir;
    CoreRig rig;
    rig.core.setImageOut(dir / "image.bin");
    const auto img = imageOf(100, 3);
    upload(rig, img, 0ms);
    EXPECT_EQ(rig.core.counters().blocksAccepted, 2u);
    EXPECT_EQ(rig.core.image(), img);
    rig.core.tick(rig.t0 + 1200ms);
    EXPECT_EQ(rig.core.counters().uploadsCompleted, 0u) << "ended before a second without blocks";
    rig.core.tick(rig.t0 + 1250ms);
    EXPECT_EQ(rig.core.counters().uploadsCompleted, 1u);
    const auto file = testsupport::readFile(dir / "image.bin");
    EXPECT_EQ(Bytes(file.begin(), file.end()), img);

    // A new upload replaces the image; a multiple of 64 ends with a block of zeros.
    const auto img2 = imageOf(128, 9);
    upload(rig, img2, 5000ms);
    EXPECT_EQ(rig.core.counters().blocksAccepted, 5u);
    rig.hear({0x9B, 0xA5}, 6000ms); // a reboot ends the upload at once
    EXPECT_EQ(rig.core.counters().uploadsCompleted, 2u);
    EXPECT_EQ(rig.core.image(), img2);
    const auto file2 = testsupport::readFile(dir / "image.bin");
    EXPECT_EQ(Bytes(file2.begin(), file2.end()), img2);

    // An empty image is one block of zeros.
    upload(rig, {}, 9000ms);
    rig.core.tick(rig.t0 + 20000ms);
    EXPECT_TRUE(rig.core.image().empty());
    EXPECT_EQ(rig.core.counters().uploadsCompleted, 3u);
}

TEST(BoardCore, ABlockWithABadChecksumIsRejected)
{
    CoreRig rig;
    upload(rig, imageOf(64, 1), 0ms); // two good blocks
    auto bad = programBlock(0x0000, imageOf(64, 2));
    bad[69] ^= 1;
    rig.hear(bad, 600ms);
    EXPECT_EQ(rig.core.counters().badChecksumBlocks, 1u);
    EXPECT_EQ(rig.core.image(), imageOf(64, 1));
}

TEST(BoardCore, RebootMakesTheBoardDeafForAMoment)
{
    CoreRig rig;
    auto out = rig.hear({0xEE, 0x9B, 0xA5, 0xEE, 0x08, 0x01}, 0ms);
    EXPECT_TRUE(out.empty()) << "replies not yet sent are lost in a reboot";
    EXPECT_TRUE(rig.core.takeFlushRequest());
    EXPECT_EQ(rig.core.counters().reboots, 1u);
    EXPECT_EQ(rig.core.counters().bytesWhileRebooting, 3u);
    EXPECT_TRUE(rig.hear({0xEE}, 499ms).empty());
    EXPECT_EQ(rig.hear({0xEE}, 500ms).size(), 21u);
}

TEST(BoardCore, ASilentBoardActsButDoesNotAnswer)
{
    CoreRig rig;
    rig.core.setSilent(true);
    EXPECT_TRUE(rig.hear({0xEE, 0x08, 0x01}, 0ms).empty());
    rig.hear(writeFrame(1, 77), 0ms);
    EXPECT_EQ(rig.core.eeprom().get(1), 77);
    EXPECT_EQ(rig.core.counters().repliesWithheld, 2u);
    rig.core.setSilent(false);
    // The first measurement after the silence is the first one of the seed.
    CoreRig fresh;
    EXPECT_EQ(rig.hear({0xEE}, 1ms), fresh.hear({0xEE}, 1ms));
}

TEST(BoardCore, TheFrameListKeepsTheNewestFrames)
{
    BoardCore core(1, BoardTimings{}, 3);
    Bytes out;
    core.receive(Bytes{0xEE, 0x08, 0x01, 0x08, 0x02, 0x08, 0x03}, BoardClock::now(), out);
    ASSERT_EQ(core.frames().size(), 3u);
    EXPECT_EQ(core.frames().front().bytes, (Bytes{0x08, 0x01}));
    EXPECT_EQ(core.counters().framesForgotten, 1u);
}
