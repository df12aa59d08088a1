// Faults in the board's replies, one at a time, each aimed at a known frame:
// the loop is stepped cycle by cycle, so the test knows which reply a fault
// hits and what the delivered records must then be, value for value.

#include "tests/fault/FaultRig.h"
#include "tests/fault/FrameAudit.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace faulttest;

namespace {

// Steps until the next cycle is one without a parameter read, so that a
// reply fault set up now hits that cycle's poll reply.
bool toPollOnlyCycle(Rig& rig)
{
    while (rig.clock->nextCycleReads())
        if (!rig.clock->cycles(1))
            return false;
    return true;
}

// Sets a fault up for the next poll reply, runs that cycle and returns the
// number of the board frame it hit.
template <typename Fault>
std::size_t faultNextPoll(Rig& rig, Fault fault)
{
    EXPECT_TRUE(toPollOnlyCycle(rig));
    const std::size_t frame = rig.board.counters().pollsAnswered;
    fault();
    EXPECT_TRUE(rig.clock->cycles(1));
    return frame;
}

std::size_t count(const std::vector<linktest::Delivered>& d, bool (*pred)(const linktest::Delivered&))
{
    return static_cast<std::size_t>(std::count_if(d.begin(), d.end(), pred));
}

// Parameter records carry what the board holds (nothing here disturbs a read reply).
void expectParametersExact(const Rig& rig)
{
    for (const auto& d : rig.main.delivered)
        if (isParameter(d)) {
            const int a = d.record->intValue("paddress");
            EXPECT_EQ(d.record->intValue("pdata"), rig.board.eeprom(a)) << "address " << a;
        }
}

} // namespace

TEST(FaultyReplies, StrayBytesBetweenFramesAreSkippedAndCostNoFrame)
{
    Rig rig;
    ASSERT_EQ(rig.start(), "");
    ASSERT_TRUE(rig.clock->cycles(2));
    std::vector<std::uint8_t> long200;
    for (int i = 0; i < 200; ++i)
        long200.push_back(static_cast<std::uint8_t>(i == 0xEE ? 0xEF : i)); // below the hunt bound
    const std::vector<std::vector<std::uint8_t>> strays = {
        {0x00}, {0x0D, 0x0A}, {0xED, 0xEF, 0xFF, 0x11}, {0x08, 0x09, 0x99, 0x71, 0xAA}, long200};
    for (const auto& s : strays)
        faultNextPoll(rig, [&] { rig.board.injectStrayBytes(s); });
    ASSERT_TRUE(rig.clock->cycles(6));
    rig.deliver();

    const auto answered = rig.board.counters().pollsAnswered;
    const auto a = auditFrames(deliveredFrames(rig.main.delivered), rig.options.seed, answered);
    EXPECT_EQ(a.exact, answered) << describe(a);
    EXPECT_TRUE(a.lost.empty()) << describe(a);
    EXPECT_TRUE(a.foreign.empty()) << describe(a);
    EXPECT_EQ(packetCountGaps(rig.main.delivered), "");
    EXPECT_EQ(count(rig.main.delivered, isLinkDown), 0u);
    expectParametersExact(rig);
}

TEST(FaultyReplies, StrayHeaderByteCostsExactlyThatFrameAndTheNextIsExactAgain)
{
    Rig rig;
    ASSERT_EQ(rig.start(), "");
    ASSERT_TRUE(rig.clock->cycles(1));
    // Two poll-only cycles in a row: the misframed read leaves the frame's
    // last two bytes behind, which the next poll's header hunt passes over.
    while (rig.clock->nextCycle() % 5 == 0 || rig.clock->nextCycle() % 5 == 4)
        ASSERT_TRUE(rig.clock->cycles(1));
    const std::size_t hit = rig.board.counters().pollsAnswered;
    rig.board.injectStrayBytes({0x33, 0xEE, 0x44});
    ASSERT_TRUE(rig.clock->cycles(2));
    ASSERT_TRUE(rig.clock->cycles(4));
    rig.deliver();

    // The receiver took the stray 0xEE for the header: 0x44 and the first
    // 17 bytes of the real frame as data, the next two as the trailer.
    const auto real = boardFrameBytes(rig.options.seed, hit);
    std::array<std::uint8_t, 21> misread{};
    misread[0] = 0xEE;
    misread[1] = 0x44;
    for (std::size_t i = 0; i < 17; ++i)
        misread[2 + i] = real[i];
    const auto answered = rig.board.counters().pollsAnswered;
    const auto a = auditFrames(deliveredFrames(rig.main.delivered), rig.options.seed, answered);
    EXPECT_EQ(a.lost, std::vector<std::size_t>{hit}) << describe(a);
    ASSERT_EQ(a.foreign.size(), 1u) << describe(a);
    EXPECT_EQ(a.foreign[0], decodeFrame(misread));
    EXPECT_EQ(a.exact, answered - 1) << describe(a);
    EXPECT_EQ(packetCountGaps(rig.main.delivered), "");
}

TEST(FaultyReplies, ASingleDroppedByteCostsOnlyTheFrameItWasIn)
{
    Rig rig;
    ASSERT_EQ(rig.start(), "");
    ASSERT_TRUE(rig.clock->cycles(2));
    std::vector<std::size_t> hit;
    for (std::size_t offset : {0u, 1u, 9u, 18u, 19u, 20u})
        hit.push_back(faultNextPoll(rig, [&] { rig.board.dropReplyBytes(1, offset); }));
    ASSERT_TRUE(rig.clock->cycles(3));
    rig.deliver();

    const auto answered = rig.board.counters().pollsAnswered;
    const auto a = auditFrames(deliveredFrames(rig.main.delivered), rig.options.seed, answered);
    EXPECT_EQ(a.lost, hit) << "a frame short of one byte ends at the line timeout, and only that frame is lost; "
                           << describe(a);
    EXPECT_TRUE(a.foreign.empty()) << describe(a);
    EXPECT_EQ(a.unread, 0u) << describe(a);
    EXPECT_EQ(packetCountGaps(rig.main.delivered), "");
    EXPECT_EQ(count(rig.main.delivered, isLinkDown), 0u) << "a short frame is not a lost device";
    EXPECT_EQ(rig.port->portOpenOK(), 1);
    expectParametersExact(rig);
}

TEST(FaultyReplies, AFlippedByteChangesOnlyTheValueItIsIn)
{
    Rig rig;
    ASSERT_EQ(rig.start(), "");
    ASSERT_TRUE(rig.clock->cycles(2));
    auto flippedFrame = [&](std::size_t frame, std::size_t offset, std::uint8_t mask) {
        auto b = boardFrameBytes(rig.options.seed, frame);
        b[offset] ^= mask;
        return decodeFrame(b);
    };

    std::vector<std::size_t> lost;
    std::vector<Values> foreign;
    // The header: no frame starts, the bytes after it are hunted through and the poll times out.
    lost.push_back(faultNextPoll(rig, [&] { rig.board.flipReplyByte(0, 0xFF); }));
    // A data byte: the frame is received whole with one value changed.
    std::size_t k = faultNextPoll(rig, [&] { rig.board.flipReplyByte(5, 0x01); });
    lost.push_back(k);
    foreign.push_back(flippedFrame(k, 5, 0x01));
    // A data byte turned into 0xEE is data all the same.
    ASSERT_TRUE(toPollOnlyCycle(rig));
    k = rig.board.counters().pollsAnswered;
    const auto original = boardFrameBytes(rig.options.seed, k)[8];
    const auto toHeader = static_cast<std::uint8_t>(original ^ 0xEE);
    if (toHeader != 0) {
        rig.board.flipReplyByte(8, toHeader);
        lost.push_back(k);
        foreign.push_back(flippedFrame(k, 8, toHeader));
    }
    ASSERT_TRUE(rig.clock->cycles(1));
    // A trailer byte is never examined.
    faultNextPoll(rig, [&] { rig.board.flipReplyByte(20, 0x55); });
    faultNextPoll(rig, [&] { rig.board.flipReplyByte(19, 0xFF); });
    ASSERT_TRUE(rig.clock->cycles(3));
    rig.deliver();

    const auto answered = rig.board.counters().pollsAnswered;
    const auto a = auditFrames(deliveredFrames(rig.main.delivered), rig.options.seed, answered);
    EXPECT_EQ(a.lost, lost) << describe(a);
    EXPECT_EQ(a.foreign, foreign) << describe(a);
    EXPECT_EQ(a.exact + a.lost.size(), answered) << describe(a);
    EXPECT_EQ(packetCountGaps(rig.main.delivered), "");
    expectParametersExact(rig);
}

TEST(FaultyReplies, ASilentBoardPostsNothingIsNotALostDeviceAndResumesExactly)
{
    Rig rig;
    ASSERT_EQ(rig.start(), "");
    ASSERT_TRUE(rig.clock->cycles(3));
    rig.deliver();
    const std::size_t before = rig.main.delivered.size();
    const int fd = rig.port->portDescriptor();
    const auto c0 = rig.board.counters();

    rig.board.setSilent(true);
    ASSERT_TRUE(rig.clock->cycles(6)); // includes a cycle with a parameter read
    rig.deliver();
    EXPECT_EQ(rig.main.delivered.size(), before) << "a silent board produces no record at all";
    EXPECT_EQ(rig.port->portOpenOK(), 1);
    EXPECT_EQ(rig.port->portDescriptor(), fd) << "silence must not close the line";
    const auto c1 = rig.board.counters();
    EXPECT_EQ(c1.repliesWithheld - c0.repliesWithheld, 7u) << "six polls and one parameter read went unanswered";

    rig.board.setSilent(false);
    ASSERT_TRUE(rig.clock->cycles(6));
    rig.deliver();
    const auto answered = rig.board.counters().pollsAnswered;
    const auto a = auditFrames(deliveredFrames(rig.main.delivered), rig.options.seed, answered);
    EXPECT_EQ(a.exact, answered) << describe(a);
    EXPECT_TRUE(a.foreign.empty()) << describe(a);
    EXPECT_EQ(count(rig.main.delivered, isLinkDown), 0u);
    EXPECT_EQ(rig.board.counters().hostHangUps, 0u);
    EXPECT_EQ(packetCountGaps(rig.main.delivered), "");
    expectParametersExact(rig);
}

TEST(FaultyReplies, ASlowBoardStillDecodesWhileEachGapIsBelowTheLineTimeout)
{
    Rig rig; // line timeout 0.3 s
    ASSERT_EQ(rig.start(), "");
    ASSERT_TRUE(rig.clock->cycles(2));
    rig.board.setSlowBoard(5ms);
    ASSERT_TRUE(rig.clock->cycles(6)); // a parameter read among them

    // 15 ms a byte: a frame takes 0.3 s or more, longer than the line
    // timeout, yet every gap is far below it; the timeout runs per byte.
    rig.board.setSlowBoard(15ms);
    ASSERT_TRUE(toPollOnlyCycle(rig));
    const auto start = Clock::now();
    ASSERT_TRUE(rig.clock->cycles(2));
    const auto slowTwo = Clock::now() - start;
    rig.board.setSlowBoard(0ms);
    ASSERT_TRUE(rig.clock->cycles(2));
    rig.deliver();

    EXPECT_GE(slowTwo, 2 * 20 * 15ms) << "the board was not slowed as asked";
    const auto answered = rig.board.counters().pollsAnswered;
    const auto a = auditFrames(deliveredFrames(rig.main.delivered), rig.options.seed, answered);
    EXPECT_EQ(a.exact, answered) << describe(a);
    EXPECT_TRUE(a.lost.empty()) << describe(a);
    EXPECT_TRUE(a.foreign.empty()) << describe(a);
    EXPECT_EQ(answered, 12u);
    EXPECT_EQ(packetCountGaps(rig.main.delivered), "");
    expectParametersExact(rig);
}
