#include "tests/link/LinkTestSupport.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <future>
#include <numeric>

using namespace plovex;
using namespace std::chrono_literals;

namespace {

struct UploadRig {
    testsupport::PtyPeer peer;
    testsupport::TempDir dir;
    std::shared_ptr<linktest::RecordingSleeper> sleeper = std::make_shared<linktest::RecordingSleeper>(0.0);
    std::unique_ptr<commPort> port;
    UploadRig()
    {
        commPortOptions o;
        o.loop = LoopKind::None;
        o.sleeper = sleeper;
        port = std::make_unique<commPort>(o);
        port->setCommPortPath(peer.slavePath());
        port->setBaudRate(38400);
        if (port->OpenPort() < 0)
            throw std::runtime_error("cannot open the test pty");
    }
    std::string image(std::size_t n)
    {
        std::string data(n, '\0');
        for (std::size_t i = 0; i < n; ++i)
            data[i] = static_cast<char>(i * 7 + 1);
        const auto p = (dir / ("image" + std::to_string(n))).string();
        testsupport::writeFile(p, data);
        return p;
    }
};

std::string expectedLine(unsigned address, const std::vector<uint8_t>& frame)
{
    std::string s = std::to_string(address) + "  ";
    char buf[8];
    for (std::size_t i = 0; i < 68; ++i) {
        std::snprintf(buf, sizeof buf, "%X, ", frame[i]);
        s += buf;
    }
    return s + "\n";
}

} // namespace

TEST(Upload, HundredBytesGoOutAsTwoZeroFilledFrames)
{
    UploadRig rig;
    const auto path = rig.image(100);
    const std::string data = testsupport::readFile(path);
    testsupport::CaptureStdout out;
    EXPECT_TRUE(rig.port->sendProgram(path));
    const std::string console = out.finish();
    const auto wire = rig.peer.read(140, 2s);
    ASSERT_EQ(wire.size(), 140u);
    std::vector<uint8_t> f0(wire.begin(), wire.begin() + 70), f1(wire.begin() + 70, wire.end());
    EXPECT_EQ(f0[2], 0x00);
    EXPECT_EQ(f0[3], 0x00);
    EXPECT_EQ(f1[2], 0x00);
    EXPECT_EQ(f1[3], 0x40);
    for (std::size_t i = 0; i < 64; ++i)
        EXPECT_EQ(f0[4 + i], static_cast<uint8_t>(data[i]));
    for (std::size_t i = 0; i < 36; ++i)
        EXPECT_EQ(f1[4 + i], static_cast<uint8_t>(data[64 + i]));
    for (std::size_t i = 40; i < 68; ++i)
        EXPECT_EQ(f1[i], 0);
    for (auto* f : {&f0, &f1}) {
        const unsigned sum = std::accumulate(f->begin(), f->begin() + 68, 0u) & 0xFFFF;
        EXPECT_EQ((*f)[68], sum >> 8);
        EXPECT_EQ((*f)[69], sum & 0xFF);
    }
    EXPECT_EQ(console, expectedLine(0, f0) + expectedLine(64, f1));
    EXPECT_EQ(console.substr(0, 18), "0  9A, 71, 0, 0, 1");
    EXPECT_EQ(rig.sleeper->pauses(), (std::vector<double>{0.25, 0.25}));
}

TEST(Upload, FrameCountIsLengthOver64PlusOne)
{
    for (std::size_t n : {0u, 63u, 64u, 128u, 129u}) {
        UploadRig rig;
        const auto path = rig.image(n);
        std::size_t lastSent = 0, calls = 0;
        testsupport::CaptureStdout out;
        EXPECT_TRUE(rig.port->sendProgram(path, [&](std::size_t sent, std::size_t total) {
            lastSent = sent;
            ++calls;
            EXPECT_EQ(total, n);
        }));
        out.finish();
        const std::size_t frames = n / 64 + 1;
        const auto wire = rig.peer.read(frames * 70, 2s);
        EXPECT_EQ(wire.size(), frames * 70) << n << " bytes";
        EXPECT_TRUE(rig.peer.drain(30ms).empty()) << n << " bytes";
        EXPECT_EQ(calls, frames);
        EXPECT_EQ(lastSent, n);
        if (n % 64 == 0) { // the last frame holds no image bytes
            const std::size_t last = (frames - 1) * 70;
            EXPECT_EQ(wire[last + 2] * 256 + wire[last + 3], static_cast<int>(n));
            for (std::size_t i = 4; i < 68; ++i)
                EXPECT_EQ(wire[last + i], 0);
        }
    }
}

TEST(Upload, ImagesThatCannotGoOutSendNothingAndSaySo)
{
    UploadRig rig;
    const auto tooBig = rig.image(65536);
    const auto largest = rig.image(65535);
    std::filesystem::create_directory(rig.dir / "folder");
    testsupport::CaptureStdout out;
    EXPECT_FALSE(rig.port->sendProgram((rig.dir / "missing.bin").string()));
    EXPECT_FALSE(rig.port->sendProgram((rig.dir / "folder").string()));
    EXPECT_FALSE(rig.port->sendProgram(tooBig));
    EXPECT_EQ(out.finish(), "");
    EXPECT_TRUE(rig.peer.drain(100ms).empty());

    rig.port->reset();
    EXPECT_FALSE(rig.port->sendProgram(largest)) << "a closed port sends nothing and says so";
    EXPECT_TRUE(rig.peer.drain(100ms).empty());
}

TEST(Upload, TheLockIsHeldForTheWholeUploadSoAWriteWaits)
{
    UploadRig rig;
    const auto path = rig.image(130); // three frames
    std::promise<void> firstPause;
    std::atomic<int> pauses{0};
    std::shared_future<void> released;
    std::promise<void> release;
    released = release.get_future().share();
    rig.sleeper->onPause = [&](double) {
        if (pauses++ == 0) {
            firstPause.set_value();
            released.wait();
        }
    };
    testsupport::CaptureStdout out;
    auto upload = std::async(std::launch::async, [&] { return rig.port->sendProgram(path); });
    firstPause.get_future().wait();
    auto write = std::async(std::launch::async, [&] { rig.port->writeEEPROM(2, 0x0102); });
    std::this_thread::sleep_for(50ms);
    release.set_value();
    EXPECT_TRUE(upload.get());
    write.get();
    out.finish();
    const auto wire = rig.peer.read(3 * 70 + 6, 2s);
    ASSERT_EQ(wire.size(), 3u * 70 + 6);
    EXPECT_EQ(std::vector<uint8_t>(wire.end() - 6, wire.end()),
              (std::vector<uint8_t>{0x09, 0x71, 0x02, 0x01, 0x02, 0xAA}))
        << "the write goes out only after the last frame";
}

TEST(Upload, TheLargestImageEndsWithItsLastBlockAtFFC0)
{
    UploadRig rig;
    const auto path = rig.image(65535);
    const std::string data = testsupport::readFile(path);
    constexpr std::size_t frames = 65535 / 64 + 1;
    auto wire = std::async(std::launch::async, [&] { return rig.peer.read(frames * 70, 20s); });
    testsupport::CaptureStdout out;
    EXPECT_TRUE(rig.port->sendProgram(path));
    out.finish();
    const auto bytes = wire.get();
    ASSERT_EQ(bytes.size(), frames * 70);
    const std::size_t last = (frames - 1) * 70;
    EXPECT_EQ(bytes[last + 2], 0xFF);
    EXPECT_EQ(bytes[last + 3], 0xC0);
    for (std::size_t i = 0; i < 63; ++i)
        ASSERT_EQ(bytes[last + 4 + i], static_cast<uint8_t>(data[65472 + i]));
    EXPECT_EQ(bytes[last + 4 + 63], 0x00);
}
