// The board as the requesting side of the diagnostic exchange, scoring a
// host written here: one that answers by the table and one that does not.

#include "sim/SimulatedBoard.h"
#include "tests/sim/HostLine.h"
#include "tests/support/TestSupport.h"

#include <functional>
#include <gtest/gtest.h>
#include <poll.h>
#include <thread>
#include <unistd.h>

using namespace plovex::sim;
using namespace simtest;

namespace {

struct Seen {
    int requests29 = 0, short29 = 0;
    std::vector<unsigned> values;
};

// Reads requests one byte at a time and answers through answer(code, further bytes)
// until done() holds or the time is up.
void serve(HostLine& host, const std::function<Bytes(std::uint8_t, const Bytes&)>& answer,
           const std::function<bool()>& done, Seen& seen)
{
    const auto deadline = std::chrono::steady_clock::now() + 5s;
    while (!done() && std::chrono::steady_clock::now() < deadline) {
        const auto b = host.read(1, 20ms);
        if (b.empty())
            continue;
        Bytes further;
        if (b[0] == 0x28)
            further = host.read(2, 200ms);
        if (b[0] == 0x29) {
            std::uint8_t buf[6];
            const ssize_t n = ::read(host.fd(), buf, sizeof buf); // one read, as the host does
            further.assign(buf, buf + std::max<ssize_t>(n, 0));
            ++seen.requests29;
            if (further.size() != 6)
                ++seen.short29;
            else
                seen.values.push_back((further[3] << 8) | further[4]);
        }
        const auto reply = answer(b[0], further);
        if (!reply.empty())
            host.send(reply);
    }
}

Bytes byTheTable(std::uint8_t code, const Bytes& further)
{
    switch (code) {
    case 0x0E: return {0x0E, 0x02, 0x37, 0x00, 0x11, 0x00, 0x00, 0x00, 0x36, 0x02, 0xA7};
    case 0x28: return {0x28, 0x00, 0x11, 0x00, 0x35, 0x00, 0x6F};
    case 0x29: {
        if (further.size() < 5)
            return {};
        const unsigned s = ((further[3] << 8 | further[4]) + 0x5D) & 0xFFFF;
        return {0x29, further[3], further[4], 0x00, 0x34, static_cast<std::uint8_t>(s >> 8), static_cast<std::uint8_t>(s)};
    }
    case 0xF0: return {0xF0, 0x00, 0x05, 0x00, 0xF5};
    case 0xF1: return {0xF0, 0x00, 0x06, 0x00, 0xF6};
    default: return {};
    }
}

BoardOptions peerAt(const testsupport::TempDir& dir)
{
    BoardOptions o;
    o.linkPath = (dir / "peer").string();
    o.publish = false;
    o.mode = BoardMode::DiagnosticPeer;
    o.peer.replyTimeout = 250ms;
    return o;
}

std::uint64_t scored(const BoardCounters& c)
{
    return c.diagCorrect + c.diagWrong + c.diagUnanswered;
}

} // namespace

TEST(DiagnosticPeerMode, ACorrectHostScoresEveryReply)
{
    testsupport::TempDir dir;
    SimulatedBoard board(peerAt(dir));
    ASSERT_TRUE(board.start()) << board.error();
    // Nothing is sent, and so nothing times out, before a host has the line open.
    std::this_thread::sleep_for(300ms);
    EXPECT_EQ(board.counters().diagRequestsSent, 0u);
    HostLine host(board.linkPath());
    ASSERT_TRUE(host.ok());
    Seen seen;
    serve(host, byTheTable, [&] { return board.counters().diagCorrect >= 15; }, seen);

    const auto c = board.counters();
    EXPECT_GE(c.diagCorrect, 15u);
    EXPECT_EQ(c.diagWrong, 0u);
    EXPECT_EQ(c.diagUnanswered, 0u);
    EXPECT_EQ(c.diagUnexpectedBytes, 0u) << "noise held a request code";
    EXPECT_GE(seen.requests29, 3);
    EXPECT_EQ(seen.short29, 0) << "a 0x29 request came in more than one write";
    ASSERT_GE(seen.values.size(), 2u);
    EXPECT_EQ(seen.values[0], 0xFFC0u);
    EXPECT_EQ(seen.values[1], 0x1234u);
    for (const auto& f : board.frames(FrameKind::DiagReply))
        EXPECT_TRUE(f.accepted) << f.problem;
}

TEST(DiagnosticPeerMode, ARequestLeftUnreadByOneHostDoesNotReachTheNext)
{
    testsupport::TempDir dir;
    SimulatedBoard board(peerAt(dir));
    ASSERT_TRUE(board.start()) << board.error();
    {
        HostLine deaf(board.linkPath());
        ASSERT_TRUE(testsupport::waitFor([&] { return board.counters().diagRequestsSent == 1; }, 2s));
    }
    ASSERT_TRUE(testsupport::waitFor([&] { return board.counters().hostHangUps == 1; }, 2s));
    HostLine host(board.linkPath());
    ASSERT_TRUE(host.ok());
    Seen seen;
    serve(host, byTheTable, [&] { return board.counters().diagCorrect >= 5; }, seen);
    const auto c = board.counters();
    EXPECT_GE(c.diagCorrect, 5u);
    EXPECT_EQ(c.diagWrong, 0u);
    EXPECT_EQ(c.diagUnexpectedBytes, 0u);
}

TEST(DiagnosticPeerMode, WrongAndMissingRepliesAreScoredAsSuch)
{
    testsupport::TempDir dir;
    SimulatedBoard board(peerAt(dir));
    ASSERT_TRUE(board.start()) << board.error();
    HostLine host(board.linkPath());
    ASSERT_TRUE(host.ok());
    // Answers 0xF1 with its own code, ignores 0xF0, takes v of 0x29 one byte early.
    auto faulty = [](std::uint8_t code, const Bytes& further) -> Bytes {
        if (code == 0xF1)
            return {0xF1, 0x00, 0x06, 0x00, 0xF6};
        if (code == 0xF0)
            return {};
        if (code == 0x29 && further.size() == 6)
            return byTheTable(0x29, Bytes{0, 0, 0, further[2], further[3]});
        return byTheTable(code, further);
    };
    Seen seen;
    serve(host, faulty, [&] { return scored(board.counters()) >= 10; }, seen);

    const auto c = board.counters();
    ASSERT_GE(scored(c), 10u);
    const std::uint64_t rounds = scored(c) / 5;
    EXPECT_EQ(c.diagCorrect, 2 * rounds + (scored(c) % 5 >= 1) + (scored(c) % 5 >= 2));
    EXPECT_EQ(c.diagUnanswered, rounds + (scored(c) % 5 >= 4));
    EXPECT_EQ(c.diagWrong, 2 * rounds + (scored(c) % 5 >= 3));
    bool namedTheReply = false;
    for (const auto& f : board.frames(FrameKind::DiagReply))
        if (!f.accepted && f.problem.find("0xF1") != std::string::npos)
            namedTheReply = f.problem.find("F1 00 06 00 F6") != std::string::npos;
    EXPECT_TRUE(namedTheReply);
}
