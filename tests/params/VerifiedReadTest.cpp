// Reading the parameters as a whole on a line that misbehaves: every value
// delivered is the board's, and what cannot be trusted is named as unreadable.

#include "params/BoardParameters.h"
#include "platform/UniqueFd.h"
#include "tests/support/LinkRig.h"

#include <gtest/gtest.h>

#include <atomic>
#include <fcntl.h>
#include <functional>
#include <optional>
#include <poll.h>
#include <sys/ioctl.h>
#include <thread>
#include <unistd.h>

using namespace testsupport;
using plovex::VerifiedRead;
using plovex::sim::SimulatedBoard;

TEST(ReadParameters, DeliverOnlyTheBoardsValuesAndNameWhatTheyCannotTrust)
{
    struct Case {
        const char* name;
        std::function<void(SimulatedBoard&)> fault;
        std::optional<VerifiedRead> failure; // at parameter 0; nullopt: all 16 read
    };
    const Case cases[] = {
        {"clean", [](SimulatedBoard&) {}, std::nullopt},
        {"first reply lost", [](SimulatedBoard& b) { b.dropReplyBytes(2); }, std::nullopt},
        {"first reply short", [](SimulatedBoard& b) { b.dropReplyBytes(1); }, std::nullopt},
        {"one stray byte", [](SimulatedBoard& b) { b.injectStrayBytes({0x00}); }, std::nullopt},
        // Stands alone, but the next reply disagrees with it.
        {"first reply garbled", [](SimulatedBoard& b) { b.flipReplyByte(1, 0x40); }, std::nullopt},
        {"stray 1", [](SimulatedBoard& b) { b.setStrayBeforeReplies(1); }, VerifiedRead::Untrusted},
        {"stray 2", [](SimulatedBoard& b) { b.setStrayBeforeReplies(2); }, VerifiedRead::Untrusted},
        {"stray 3 at the line speed", [](SimulatedBoard& b) { b.setStrayBeforeReplies(3), b.setPaced(true); },
         VerifiedRead::Untrusted},
        // Bytes far apart: the quiet after a reply grows with the time it took.
        {"stray 2, slow board", [](SimulatedBoard& b) { b.setStrayBeforeReplies(2), b.setSlowBoard(3ms); },
         VerifiedRead::Untrusted},
        {"cut 1", [](SimulatedBoard& b) { b.setReplyCut(1); }, VerifiedRead::Untrusted},
        {"silent", [](SimulatedBoard& b) { b.setSilent(true); }, VerifiedRead::NoAnswer},
        {"unplugged", [](SimulatedBoard& b) { b.unplug(); }, VerifiedRead::LineClosed},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Board board;
        for (int a = 0; a < 16; ++a)
            board->setEeprom(a, static_cast<int16_t>(0x1200 + a)); // any shift shows as another value
        MainSide main;
        auto port = main.port(plovex::LoopKind::None, board.path());
        ASSERT_GE(port->OpenPort(), 0);
        c.fault(*board.operator->());

        const auto read = plovex::params::readParameters(*port);
        for (int a = 0; a < 16; ++a) {
            const auto& v = read.values[static_cast<std::size_t>(a)];
            EXPECT_EQ(v.value_or(board->eeprom(a)), board->eeprom(a)) << "parameter " << a;
        }
        EXPECT_EQ(read.complete(), !c.failure);
        if (c.failure) {
            ASSERT_TRUE(read.failure);
            EXPECT_EQ(read.failure->address, 0);
            EXPECT_EQ(read.failure->why, *c.failure);
            EXPECT_EQ(read.unread().size(), 16u) << "reading stops at the first that cannot be read";
        }
    }
}

namespace {

// A second program on the line: it opens the board's device again (the tests
// run as root, whom the exclusive flag does not keep out) and takes the first
// byte of a burst that arrives, then leaves the rest of it, until it has taken
// `count` bytes.
class SecondReader {
public:
    SecondReader(const std::string& path, int count)
        : fd_(::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC)),
          thread_([this, count](std::stop_token stop) { run(stop, count); })
    {
    }
    bool opened() const { return static_cast<bool>(fd_); }
    int stolen() const { return stolen_.load(); }

private:
    int pending() const
    {
        int n = 0;
        return ::ioctl(fd_.get(), FIONREAD, &n) == 0 ? n : 0;
    }
    void run(std::stop_token stop, int count)
    {
        while (fd_ && !stop.stop_requested() && stolen_ < count) {
            pollfd p{fd_.get(), POLLIN, 0};
            if (::poll(&p, 1, 20) <= 0)
                continue;
            uint8_t byte = 0;
            if (::read(fd_.get(), &byte, 1) == 1)
                ++stolen_;
            while (!stop.stop_requested() && pending() > 0) // the host takes the rest
                std::this_thread::yield();
        }
    }

    platform::UniqueFd fd_;
    std::atomic<int> stolen_{0};
    std::jthread thread_; // last: stops before the descriptor closes
};

} // namespace

TEST(ReadParameters, ASecondReaderOnTheLineNeverMakesThemDeliverAWrongValue)
{
    Board board;
    for (int a = 0; a < 16; ++a)
        board->setEeprom(a, static_cast<int16_t>(0x0101 * a));
    MainSide main;
    auto port = main.port(plovex::LoopKind::None, board.path());
    ASSERT_GE(port->OpenPort(), 0);
    constexpr int kStolen = 6;
    SecondReader thief(board.path(), kStolen);
    ASSERT_TRUE(thief.opened());
    for (int round = 0; round < 20 && thief.stolen() < kStolen; ++round) {
        const auto read = plovex::params::readParameters(*port);
        for (int a = 0; a < 16; ++a) {
            const auto& v = read.values[static_cast<std::size_t>(a)];
            EXPECT_EQ(v.value_or(board->eeprom(a)), board->eeprom(a)) << "round " << round << ", parameter " << a;
        }
        EXPECT_TRUE(read.complete() || read.failure) << "what was not read is named";
    }
    EXPECT_EQ(thief.stolen(), kStolen) << "the second reader took bytes of the replies";
}
