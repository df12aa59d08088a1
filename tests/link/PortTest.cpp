// The serial port object: opening the device, the exchanges of single
// frames, and what a closed, silent or lost line does to them. The far end
// is a bare pseudo-terminal that shows the exact bytes sent.

#include "tests/support/LinkRig.h"
#include "tests/support/PtyPeer.h"

#include <gtest/gtest.h>

#include <climits>
#include <atomic>
#include <fcntl.h>
#include <future>
#include <random>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

using namespace plovex;
using namespace testsupport;

namespace {

// A port opened on a fresh pseudo-terminal, with no loop running.
struct OpenLine {
    PtyPeer peer;
    MainSide main;
    std::unique_ptr<commPort> port;
    OpenLine() : port(main.port(LoopKind::None, peer.slavePath(), {}, 10))
    {
        if (port->OpenPort() < 0)
            throw std::runtime_error("cannot open " + peer.slavePath());
    }
};

} // namespace

TEST(SerialPort, DevicesThatCannotBeUsedFailWithTheirLineAndLeakNothing)
{
    TempDir dir;
    writeFile(dir / "plain", "not a tty");
    PtyPeer pty;
    const std::string noTty = " - Inappropriate ioctl for device(25).\n";
    const struct {
        std::string path;
        int32_t baud;
        std::string printed;
    } cases[] = {
        {"", 38400, ""},
        {(dir / "missing").string(), 38400, ""},
        {dir.path().string(), 38400, ""},
        {"/" + std::string(PATH_MAX + 10, 'x'), 38400, ""},
        {(dir / "plain").string(), 38400, "Error setting TIOCEXCL on " + (dir / "plain").string() + noTty},
        {"/dev/null", 38400, "Error setting TIOCEXCL on /dev/null" + noTty},
        {pty.slavePath(), 12345, "Error setting tty attributes " + pty.slavePath() + " - Invalid argument(22).\n"},
    };
    MainSide main;
    commPort port(main.options(LoopKind::None));
    EXPECT_EQ(port.commPortPath(), "/dev/cu.KeySerial1");
    EXPECT_EQ(port.baudRate(), 9600);
    const int before = openDescriptorCount();
    for (const auto& c : cases) {
        port.setCommPortPath(c.path);
        port.setBaudRate(c.baud);
        CaptureStdout out;
        EXPECT_EQ(port.OpenPort(), -1) << c.path;
        EXPECT_EQ(out.finish(), c.printed);
        EXPECT_EQ(port.portOpenOK(), 0);
    }
    EXPECT_EQ(openDescriptorCount(), before);
}

TEST(SerialPort, OpensRawAndExclusiveAndResetEndsIt)
{
    PtyPeer first, second;
    MainSide main;
    auto port = main.port(LoopKind::None, first.slavePath());
    const int before = openDescriptorCount();
    const int fd = port->OpenPort();
    ASSERT_GE(fd, 0);
    EXPECT_EQ(port->portOpenOK(), 1);
    termios t{};
    int excl = 0;
    ASSERT_EQ(::tcgetattr(fd, &t) + ::ioctl(fd, TIOCGEXCL, &excl), 0);
    EXPECT_EQ(std::tuple(t.c_cc[VMIN], t.c_cc[VTIME], ::cfgetospeed(&t), excl), std::tuple(0, 2, B38400, 1));
    EXPECT_EQ(t.c_cflag & (CSIZE | PARENB | CSTOPB | CRTSCTS), static_cast<tcflag_t>(CS8));
    EXPECT_EQ((t.c_lflag & (ICANON | ECHO | ISIG)) | (t.c_iflag & (IXON | ICRNL)) | (t.c_oflag & OPOST), 0u) << "raw";
    EXPECT_EQ(::fcntl(fd, F_GETFL) & O_NONBLOCK, 0);

    // Another opener of the line, root included, is refused without a word on
    // the console, and leaves the line's exclusive use as it was.
    {
        auto other = main.port(LoopKind::None, first.slavePath());
        CaptureStdout out;
        EXPECT_EQ(other->OpenPort(), -1);
        EXPECT_EQ(out.finish(), "");
        EXPECT_EQ(other->openFailure().kind, OpenProblem::Busy);
        const std::string holder = "in use by " + std::string(program_invocation_short_name).substr(0, 15) +
                                   " (pid " + std::to_string(::getpid()) + ")";
        EXPECT_NE(other->openFailure().reason.find(holder), std::string::npos) << other->openFailure().reason;
        EXPECT_EQ(::ioctl(fd, TIOCGEXCL, &excl) + excl, 1);
    }

    // A new path and speed wait for the next open; until then the line stays as it is.
    port->setCommPortPath(second.slavePath());
    port->setBaudRate(9600);
    port->sendReboot();
    EXPECT_EQ(first.read(2, 30s), (Bytes{0x9B, 0xA5}));
    const int probe = ::open(first.slavePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK); // root may, despite TIOCEXCL
    port->reset();
    EXPECT_EQ(port->portOpenOK(), 0);
    EXPECT_EQ(::ioctl(probe, TIOCGEXCL, &excl) + excl, 0) << "the exclusive hold ends with the close";
    ::close(probe);
    EXPECT_EQ(openDescriptorCount(), before);
    port->reset(); // closed already: nothing to do

    ASSERT_GE(port->OpenPort(), 0);
    ::tcgetattr(port->portDescriptor(), &t);
    EXPECT_EQ(::cfgetospeed(&t), B9600);
    port->sendReboot();
    EXPECT_EQ(second.read(2, 30s), (Bytes{0x9B, 0xA5}));
    EXPECT_TRUE(first.drain(20ms).empty());
}

TEST(Exchanges, ExactBytesOnTheLineAndNothingWhenClosed)
{
    OpenLine o;
    o.port->writeEEPROM(3, -1);
    o.port->writeEEPROM(16, 0x1234);
    o.peer.write({0x55}); // stays pending: a reboot reads nothing
    o.port->sendReboot();
    EXPECT_EQ(o.peer.read(14, 30s), (Bytes{0x09, 0x71, 0x03, 0xFF, 0xFF, 0xAA, 0x99, 0x71, 0x10, 0x12, 0x34, 0xAA, 0x9B, 0xA5}));

    // A read takes the next two bytes, whatever was pending: nothing is flushed.
    auto reply = std::async(std::launch::async, [&] {
        const auto request = o.peer.read(2, 30s);
        o.peer.write({0x85});
        return request;
    });
    int16_t v = 0;
    EXPECT_EQ(o.port->readEEPROM(0x105, &v), 1);
    EXPECT_EQ(v, 0x5585);
    EXPECT_EQ(reply.get(), (Bytes{0x08, 0x05}));

    // What an exchange took from the line and did not use is the next one's;
    // closing the line forgets it.
    auto waiting = [&](int n) {
        return waitFor([&] {
            int avail = 0;
            return ::ioctl(o.port->portDescriptor(), FIONREAD, &avail) == 0 && avail >= n;
        });
    };
    o.peer.write({0x12, 0x34, 0x56});
    ASSERT_TRUE(waiting(3)); // all three are taken from the line at once
    EXPECT_EQ(std::pair(o.port->readEEPROM(1, &v), v), std::pair(1, int16_t{0x1234}));
    o.peer.write({0x78});
    EXPECT_EQ(std::pair(o.port->readEEPROM(1, &v), v), std::pair(1, int16_t{0x5678}));
    o.peer.write({0x9A, 0xBC, 0xDE});
    ASSERT_TRUE(waiting(3));
    EXPECT_EQ(std::pair(o.port->readEEPROM(1, &v), v), std::pair(1, static_cast<int16_t>(0x9ABC)));
    o.port->reset(); // 0xDE goes with the line
    ASSERT_GE(o.port->OpenPort(), 0);
    o.peer.drain(50ms);
    o.peer.write({0x01, 0x02});
    EXPECT_EQ(std::pair(o.port->readEEPROM(1, &v), v), std::pair(1, int16_t{0x0102}));
    EXPECT_EQ(o.peer.drain(50ms), (Bytes{0x08, 0x01}));

    // Asking again after a reply timed out: what is left of the last reply and
    // a late one still in the driver are dropped, not read as the next reply.
    o.peer.write({0x0A, 0x0B, 0x0C});
    ASSERT_TRUE(waiting(3));
    EXPECT_EQ(std::pair(o.port->readEEPROM(1, &v), v), std::pair(1, int16_t{0x0A0B}));
    o.peer.write({0x0D, 0x0E});
    ASSERT_TRUE(waiting(2));
    o.port->discardInput();
    o.peer.write({0x03, 0x04});
    EXPECT_EQ(std::pair(o.port->readEEPROM(1, &v), v), std::pair(1, int16_t{0x0304}));
    EXPECT_EQ(o.peer.drain(50ms), (Bytes{0x08, 0x01, 0x08, 0x01}));

    o.port->reset();
    o.port->writeEEPROM(3, 1);
    o.port->sendReboot();
    EXPECT_EQ(o.port->readEEPROM(3, &v), 0);
    EXPECT_TRUE(o.peer.drain(50ms).empty()) << "a closed port sends nothing";
}

TEST(Exchanges, AnExchangeThatWaitedAcrossAResetTouchesNothing)
{
    OpenLine o;
    for (int kind = 0; kind < 3; ++kind) {
        if (!o.port->portOpenOK()) {
            ASSERT_GE(o.port->OpenPort(), 0);
        }
        std::unique_lock held(commPortTestAccess::lock(*o.port));
        int result = -1;
        std::thread exchange([&] {
            int16_t v = 0;
            if (kind == 0)
                result = o.port->readEEPROM(2, &v);
            else if (kind == 1)
                o.port->writeEEPROM(2, 5);
            else
                o.port->sendReboot();
        });
        ASSERT_TRUE(waitUntilLockAwaited(commPortTestAccess::lock(*o.port))); // the exchange waits for the lock now
        const int oldFd = o.port->portDescriptor();
        PtyPeer stranger;
        commPortTestAccess::closeLocked(*o.port); // what reset does under the lock
        const int reused = stranger.openHostAt(oldFd); // another device takes the freed number
        ASSERT_EQ(reused, oldFd);
        held.unlock();
        exchange.join();
        EXPECT_NE(result, 1);
        EXPECT_TRUE(stranger.drain(50ms).empty()) << "exchange " << kind << " wrote to another device";
        ::close(reused);
    }
}

TEST(Exchanges, AReplyCutShortByTheLineTimeoutIsNoValue)
{
    // The second byte comes only once the read has given up. (That the
    // timeout counts from the last byte, the slow board of the acquisition
    // loop's faulty replies shows.)
    OpenLine gap;
    std::promise<void> gaveUp;
    auto board = std::async(std::launch::async, [&] {
        gap.peer.read(2, 30s);
        gap.peer.write({0x11});
        gaveUp.get_future().wait();
        gap.peer.write({0x22});
    });
    int16_t v = 7;
    EXPECT_EQ(gap.port->readEEPROM(0, &v), 0);
    EXPECT_EQ(v, 7);
    gaveUp.set_value();
    board.get();
}

TEST(SerialPort, OpensRacingPathChangesAndResetsLeakNothingAndUseTheLastPath)
{
    // Two openers, as the launch-time open and the acquisition loop's can
    // overlap, while the main thread applies port after port.
    PtyPeer peers[3];
    MainSide main;
    commPort p(main.options(LoopKind::None));
    p.setBaudRate(38400);
    const int before = openDescriptorCount();
    {
        // An open publishes its line under the port lock, never under an exchange
        // that holds it: a path applied meanwhile wins, and an open refused by the
        // winner's line is no failure, even when it says so after the winner published.
        std::unique_lock held(commPortTestAccess::lock(p));
        p.setCommPortPath(peers[0].slavePath());
        std::thread stale([&] { p.OpenPort(); });
        EXPECT_TRUE(waitUntilLockAwaited(commPortTestAccess::lock(p))) << "the open did not wait for the lock";
        p.setCommPortPath(peers[1].slavePath());
        held.unlock();
        stale.join();
        EXPECT_EQ(p.portOpenOK(), 0) << "an open of a path since replaced was kept";
        held.lock();
        std::unique_lock failures(commPortTestAccess::failureLock(p));
        std::thread winner([&] { p.OpenPort(); });
        EXPECT_TRUE(waitUntilLockAwaited(commPortTestAccess::lock(p)));
        std::thread loser([&] { p.OpenPort(); });
        EXPECT_TRUE(waitUntilLockAwaited(commPortTestAccess::failureLock(p)));
        held.unlock();
        EXPECT_TRUE(waitFor([&] { return p.portOpenOK() != 0; }));
        failures.unlock();
        winner.join();
        loser.join();
        EXPECT_EQ(p.openFailure().kind, OpenProblem::None);
    }
    std::atomic<bool> done{false};
    std::atomic<int> opening{0}; // openers inside OpenPort
    auto opener = [&] {
        while (!done) {
            if (!p.portOpenOK()) {
                ++opening;
                p.OpenPort();
                --opening;
            }
            std::this_thread::yield();
        }
    };
    std::thread first(opener), second(opener);
    std::mt19937 random(7);
    std::string last;
    for (int round = 0; round < 500 && !HasFailure(); ++round) {
        for (int burst = static_cast<int>(random() % 3); burst >= 0; --burst) {
            p.setCommPortPath(last = peers[random() % 3].slavePath());
            p.reset();
            // Often while an opener is half-way through opening the line.
            for (const auto until = std::chrono::steady_clock::now() + std::chrono::microseconds(random() % 60);
                 std::chrono::steady_clock::now() < until;) {
            }
        }
        // Once the loser of a race has also returned, it cannot note its failure late.
        EXPECT_TRUE(waitFor([&] { return p.portOpenOK() != 0 && opening == 0; }));
        std::error_code ec;
        EXPECT_EQ(std::filesystem::read_symlink("/proc/self/fd/" + std::to_string(p.portDescriptor()), ec).string(), last)
            << "round " << round << ": the line in use is not the last one applied";
        EXPECT_EQ(p.openFailure().kind, OpenProblem::None) << "round " << round << ": losing the race is no failure";
    }
    done = true;
    first.join();
    second.join();
    p.reset();
    EXPECT_EQ(openDescriptorCount(), before);
}
