// Reply faults, the line pacer and the diagnostic peer's table, without a line.

#include "sim/DiagnosticPeer.h"
#include "sim/LinePacer.h"
#include "sim/ReplyFaults.h"

#include <gtest/gtest.h>

using namespace plovex::sim;
using namespace std::chrono_literals;
using Bytes = std::vector<std::uint8_t>;

TEST(ReplyFaults, StrayDropAndFlipShapeTheComingReplies)
{
    ReplyFaults f;
    const Bytes reply = {1, 2, 3, 4, 5};
    Bytes out;
    f.injectStray(Bytes{0x55, 0x66});
    f.flipByte(1, 0x80);
    f.apply(reply, out);
    EXPECT_EQ(out, (Bytes{0x55, 0x66, 1, 0x82, 3, 4, 5}));
    EXPECT_FALSE(f.pending());

    out.clear();
    f.dropBytes(4, 3); // the last two bytes of this reply and the first two of the next
    f.apply(reply, out);
    f.apply(reply, out);
    f.apply(reply, out);
    EXPECT_EQ(out, (Bytes{1, 2, 3, 3, 4, 5, 1, 2, 3, 4, 5}));

    out.clear();
    f.flipByte(99, 0xFF); // beyond the reply: its last byte
    f.flipByte(0, 0x01);  // the reply after that
    f.apply(reply, out);
    f.apply(reply, out);
    EXPECT_EQ(out, (Bytes{1, 2, 3, 4, 0xFA, 0, 2, 3, 4, 5}));
}

TEST(LinePacer, ReleasesBytesOnTheirDeadlines)
{
    LinePacer p;
    const auto t0 = LinePacer::Clock::now();
    const Bytes ten = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9};
    Bytes due;
    p.push(ten, t0);
    p.due(t0, due);
    EXPECT_EQ(due.size(), 10u) << "unpaced: everything at once";

    LinePacer q;
    q.setPerByte(1ms);
    q.push(ten, t0);
    q.due(t0, due);
    EXPECT_EQ(due, (Bytes{0}));
    q.sent(1);
    q.due(t0 + 500us, due);
    EXPECT_TRUE(due.empty());
    q.due(t0 + 3500us, due);
    EXPECT_EQ(due, (Bytes{1, 2, 3}));
    q.sent(2); // only two went out
    EXPECT_EQ(*q.nextDue(), t0 + 3ms);
    q.sent(0);
    q.due(t0 + 3ms, due);
    EXPECT_EQ(due.front(), 3);
    // A long stall is forgiven, not caught up in one rush.
    q.due(t0 + 1s, due);
    EXPECT_EQ(due.size(), 6u);
    q.sent(due.size());
    q.clear();
    // A burst pushed while the line is still busy starts when it is free.
    q.push(Bytes{42}, t0 + 1s);
    EXPECT_GT(*q.nextDue(), t0 + 1s);
}

TEST(DiagnosticPeer, ExpectedRepliesFollowTheTable)
{
    EXPECT_EQ(DiagnosticPeer::expectedReply({0x0E}), (Bytes{0x0E, 0x02, 0x37, 0x00, 0x11, 0x00, 0x00, 0x00, 0x36, 0x02, 0xA7}));
    EXPECT_EQ(DiagnosticPeer::expectedReply({0x28, 1, 2}), (Bytes{0x28, 0x00, 0x11, 0x00, 0x35, 0x00, 0x6F}));
    EXPECT_EQ(DiagnosticPeer::expectedReply({0x29, 9, 9, 9, 0x12, 0x34, 9}), (Bytes{0x29, 0x12, 0x34, 0x00, 0x34, 0x12, 0x91}));
    EXPECT_EQ(DiagnosticPeer::expectedReply({0x29, 0, 0, 0, 0xFF, 0xC0, 0}), (Bytes{0x29, 0xFF, 0xC0, 0x00, 0x34, 0x00, 0x1D}));
    EXPECT_EQ(DiagnosticPeer::expectedReply({0xF0}), (Bytes{0xF0, 0x00, 0x05, 0x00, 0xF5}));
    EXPECT_EQ(DiagnosticPeer::expectedReply({0xF1}), (Bytes{0xF0, 0x00, 0x06, 0x00, 0xF6}));
}

TEST(DiagnosticPeer, SendsTheFiveRequestsInTurnWithCleanNoiseAndScoresReplies)
{
    BoardCore board(11, BoardTimings{}, 10000);
    DiagnosticPeer peer(11, PeerTimings{100ms, 1ms}, board);
    auto t = BoardClock::now();
    const std::uint8_t order[5] = {0x0E, 0x28, 0x29, 0xF0, 0xF1};
    const std::size_t lengths[5] = {1, 3, 7, 1, 1};
    std::size_t noiseSeen = 0;
    for (int i = 0; i < 2000; ++i) {
        auto writes = peer.due(t);
        ASSERT_FALSE(writes.empty()) << "request " << i;
        EXPECT_TRUE(peer.due(t).empty()) << "a second request while a reply is awaited";
        const auto& request = writes.back();
        ASSERT_EQ(request[0], order[i % 5]);
        ASSERT_EQ(request.size(), lengths[i % 5]) << "a request goes out in one write";
        if (writes.size() == 2) {
            for (auto b : writes[0])
                ASSERT_TRUE(b != 0x0E && b != 0x28 && b != 0x29 && b != 0xF0 && b != 0xF1) << "noise byte " << int(b);
            noiseSeen += writes[0].size();
        }
        auto reply = DiagnosticPeer::expectedReply(request);
        if (i % 7 == 3)
            reply.back() ^= 1;
        if (i % 11 == 5) {
            peer.tick(t + 100ms); // no reply at all
        } else {
            reply.push_back(0x42); // one byte too many
            peer.receive(reply, t);
        }
        t += 200ms;
    }
    EXPECT_GT(noiseSeen, 1000u);
    const auto& c = board.counters();
    EXPECT_EQ(c.diagRequestsSent, 2000u);
    EXPECT_EQ(c.diagUnanswered, 182u); // i % 11 == 5
    EXPECT_EQ(c.diagWrong + c.diagCorrect + c.diagUnanswered, 2000u);
    EXPECT_EQ(c.diagUnexpectedBytes, 2000u - 182u);
    int wrong = 0;
    for (int i = 0; i < 2000; ++i)
        wrong += (i % 7 == 3) && (i % 11 != 5);
    EXPECT_EQ(c.diagWrong, static_cast<std::uint64_t>(wrong));
}
