#include "tests/link/LinkTestSupport.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <climits>
#include <random>
#include <thread>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

using namespace plovex;
using testsupport::CaptureStdout;

namespace {
commPortOptions quiet()
{
    commPortOptions o;
    o.loop = LoopKind::None;
    return o;
}
} // namespace

TEST(SerialPort, InitialStateAndAccessors)
{
    commPort p(quiet());
    EXPECT_EQ(p.commPortPath(), "/dev/cu.KeySerial1");
    EXPECT_EQ(p.commPortName(), "");
    EXPECT_EQ(p.baudRate(), 9600);
    EXPECT_EQ(p.portOpenOK(), 0);

    p.setBaudRate(38400);
    EXPECT_EQ(p.baudRate(), 38400);
    p.setBaudRate(38400);
    EXPECT_EQ(p.baudRate(), 38400);
    p.setCommPortPath("/dev/ttyUSB0");
    p.setCommPortName("ttyUSB0");
    EXPECT_EQ(p.commPortPath(), "/dev/ttyUSB0");
    EXPECT_EQ(p.commPortName(), "ttyUSB0");
    p.reset(); // closed: only the flag, which stays 0
    EXPECT_EQ(p.portOpenOK(), 0);
}

TEST(SerialPort, PathsThatCannotBeOpenedFailQuietlyAndLeakNothing)
{
    testsupport::TempDir dir;
    testsupport::writeFile(dir / "plain", "not a tty");
    const std::vector<std::string> quietFailures = {
        "",
        (dir / "missing").string(),
        dir.path().string(), // a folder cannot be opened for writing
        "/" + std::string(PATH_MAX + 10, 'x'),
    };
    commPort p(quiet());
    const int before = testsupport::openDescriptorCount();
    for (const auto& path : quietFailures) {
        p.setCommPortPath(path);
        CaptureStdout out;
        EXPECT_EQ(p.OpenPort(), -1) << path;
        EXPECT_EQ(out.finish(), "") << path;
        EXPECT_EQ(p.portOpenOK(), 0);
    }
    EXPECT_EQ(testsupport::openDescriptorCount(), before);
}

TEST(SerialPort, DevicesThatRefuseTheSetUpPrintTheStepAndLeakNothing)
{
    testsupport::TempDir dir;
    const auto plain = (dir / "plain").string();
    testsupport::writeFile(plain, "not a tty");
    commPort p(quiet());
    const int before = testsupport::openDescriptorCount();
    for (const std::string& path : {plain, std::string("/dev/null")}) {
        p.setCommPortPath(path);
        CaptureStdout out;
        EXPECT_EQ(p.OpenPort(), -1);
        EXPECT_EQ(out.finish(), "Error setting TIOCEXCL on " + path + " - Inappropriate ioctl for device(25).\n");
        EXPECT_EQ(p.portOpenOK(), 0);
    }
    // A speed the driver does not know is refused at the line settings.
    testsupport::PtyPeer peer;
    p.setCommPortPath(peer.slavePath());
    p.setBaudRate(12345);
    CaptureStdout out;
    EXPECT_EQ(p.OpenPort(), -1);
    EXPECT_EQ(out.finish(), "Error setting tty attributes " + peer.slavePath() + " - Invalid argument(22).\n");
    EXPECT_EQ(p.portOpenOK(), 0);
    EXPECT_EQ(testsupport::openDescriptorCount(), before + 1); // the peer's master only
}

TEST(SerialPort, OpensRawExclusiveWithTheReadTimeoutAndSpeed)
{
    testsupport::PtyPeer peer;
    commPort p(quiet());
    p.setCommPortPath(peer.slavePath());
    p.setBaudRate(38400);
    const int fd = p.OpenPort();
    ASSERT_GE(fd, 0);
    EXPECT_EQ(p.portOpenOK(), 1);
    EXPECT_EQ(p.portDescriptor(), fd);

    int excl = 0;
    ASSERT_EQ(::ioctl(fd, TIOCGEXCL, &excl), 0);
    EXPECT_EQ(excl, 1);
    EXPECT_EQ(::fcntl(fd, F_GETFL) & O_NONBLOCK, 0);
    EXPECT_NE(::fcntl(fd, F_GETFD) & FD_CLOEXEC, 0);

    termios t{};
    ASSERT_EQ(::tcgetattr(fd, &t), 0);
    EXPECT_EQ(t.c_cc[VMIN], 0);
    EXPECT_EQ(t.c_cc[VTIME], 10);
    EXPECT_EQ(::cfgetispeed(&t), B38400);
    EXPECT_EQ(::cfgetospeed(&t), B38400);
    EXPECT_EQ(t.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    EXPECT_NE(t.c_cflag & CREAD, 0u);
    EXPECT_EQ(t.c_cflag & (PARENB | CSTOPB | CRTSCTS | CLOCAL | HUPCL), 0u);
    EXPECT_EQ(t.c_lflag & (ICANON | ECHO | ISIG), 0u);
    EXPECT_EQ(t.c_iflag & (IXON | IXOFF | ICRNL), 0u);
    EXPECT_EQ(t.c_oflag & OPOST, 0u);
}

TEST(SerialPort, ResetReleasesExclusiveUseAndTheLineReopens)
{
    testsupport::PtyPeer peer;
    commPort p(quiet());
    const int before = testsupport::openDescriptorCount();
    p.setCommPortPath(peer.slavePath());
    p.setBaudRate(38400);
    ASSERT_GE(p.OpenPort(), 0);
    // A second look at the device (allowed to root despite the exclusive flag).
    const int probe = ::open(peer.slavePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(probe, 0);
    int excl = 0;
    ::ioctl(probe, TIOCGEXCL, &excl);
    EXPECT_EQ(excl, 1);

    p.reset();
    EXPECT_EQ(p.portOpenOK(), 0);
    ::ioctl(probe, TIOCGEXCL, &excl);
    EXPECT_EQ(excl, 0) << "exclusive use must end with the close";
    ::close(probe);
    EXPECT_EQ(testsupport::openDescriptorCount(), before);

    const int again = p.OpenPort();
    EXPECT_GE(again, 0);
    EXPECT_EQ(p.portOpenOK(), 1);
    p.reset();
    EXPECT_EQ(testsupport::openDescriptorCount(), before);
}

TEST(SerialPort, PathChangesTakeEffectAtTheNextOpenOnly)
{
    testsupport::PtyPeer first, second;
    commPort p(quiet());
    p.setCommPortPath(first.slavePath());
    p.setBaudRate(38400);
    ASSERT_GE(p.OpenPort(), 0);
    p.setCommPortPath(second.slavePath());
    p.setBaudRate(9600);
    p.writeEEPROM(1, 2);
    EXPECT_EQ(first.read(6, std::chrono::milliseconds(500)).size(), 6u);
    EXPECT_TRUE(second.drain(std::chrono::milliseconds(50)).empty());
    p.reset();
    ASSERT_GE(p.OpenPort(), 0);
    termios t{};
    ::tcgetattr(p.portDescriptor(), &t);
    EXPECT_EQ(::cfgetospeed(&t), B9600);
    p.writeEEPROM(1, 2);
    EXPECT_EQ(second.read(6, std::chrono::milliseconds(500)).size(), 6u);
}

TEST(SerialPort, OpensRacingPathChangesAndResetsLeakNothingAndEndOnTheLastPath)
{
    // Two openers, as the launch-time open and the acquisition loop's can
    // overlap, while the main thread applies port after port.
    testsupport::PtyPeer peers[3];
    commPort p(quiet());
    p.setBaudRate(38400);
    const int before = testsupport::openDescriptorCount();
    std::atomic<bool> done{false};
    auto opener = [&] {
        while (!done) {
            if (!p.portOpenOK())
                p.OpenPort();
            std::this_thread::yield();
        }
    };
    std::thread first(opener), second(opener);
    std::mt19937 random(7);
    std::string last;
    for (int round = 0; round < 1000; ++round) {
        for (int burst = static_cast<int>(random() % 3); burst >= 0; --burst) {
            last = peers[random() % 3].slavePath();
            p.setCommPortPath(last);
            p.reset();
            // Often while an opener is half-way through opening the line.
            const auto until = std::chrono::steady_clock::now() + std::chrono::microseconds(random() % 60);
            while (std::chrono::steady_clock::now() < until) {
            }
        }
        ASSERT_TRUE(testsupport::waitFor([&] { return p.portOpenOK() != 0; }, std::chrono::seconds(5)));
        char inUse[256] = {};
        const std::string fdPath = "/proc/self/fd/" + std::to_string(p.portDescriptor());
        ASSERT_GT(::readlink(fdPath.c_str(), inUse, sizeof inUse - 1), 0);
        ASSERT_EQ(std::string(inUse), last) << "round " << round << ": the line in use is not the last one applied";
    }
    done = true;
    first.join();
    second.join();
    p.reset();
    EXPECT_EQ(testsupport::openDescriptorCount(), before);
}
