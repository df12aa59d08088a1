// Unplugging and replugging the board behind the same stable link. The loop
// must tell a lost device from a silent one, report the link down, reopen the
// line once the device is back, and hold no descriptor of the old line.
//
// The link-down and link-up times are asserted in loop cycles, which does
// not depend on how loaded the machine is: the link-down record must come
// before any 1.0 s pause has begun after the unplug, and after a replug that
// falls into a link-down pause exactly one more 1.0 s pause may pass (the
// cycle that reopens the line still reports it down, then pauses). In time:
// link-down within a few milliseconds, link-up within the rest of the pause
// in progress plus 1.0 s plus one exchange.

#include "tests/fault/FaultRig.h"
#include "tests/fault/FrameAudit.h"

#include <gtest/gtest.h>

using namespace faulttest;

namespace {

struct Span {
    std::size_t longPauses = 0, shortPauses = 0;
    bool found = false;
    Clock::time_point at; // when the record looked for was handed over
};

// From the event at position from on: the pauses that began before the first
// hand-over of a record for which pred holds.
Span spanUntil(const std::vector<Event>& events, std::size_t from, const std::vector<linktest::Delivered>& delivered,
               bool (*pred)(const linktest::Delivered&))
{
    Span s;
    for (std::size_t i = from + 1; i < events.size(); ++i) {
        const auto& e = events[i];
        if (e.kind == Event::LongPause)
            ++s.longPauses;
        else if (e.kind == Event::ShortPause)
            ++s.shortPauses;
        else if (e.kind == Event::HandOver && e.handOver < delivered.size() && pred(delivered[e.handOver])) {
            s.found = true;
            s.at = e.at;
            return s;
        }
    }
    return s;
}

} // namespace

TEST(PlugCycles, AHundredUnplugsAndReplugsAtTheSameLink)
{
    const int fdsBefore = testsupport::openDescriptorCount();
    constexpr int kCycles = 100;
    std::vector<std::pair<std::size_t, std::size_t>> marks; // (after unplug, after replug)
    {
        Rig rig({.stepping = false});
        ASSERT_EQ(rig.start(), "");
        ASSERT_TRUE(rig.deliverUntil(0, isMeasurement));
        const int fdsUp = testsupport::openDescriptorCount();

        for (int i = 0; i < kCycles; ++i) {
            ASSERT_TRUE(rig.deliverUntil(rig.main.delivered.size(), isMeasurement)) << "cycle " << i;
            ASSERT_TRUE(rig.board.unplug());
            const std::size_t unplugged = rig.timeline.mark();
            rig.clock->holdNextLongPause();
            ASSERT_TRUE(rig.deliverUntil(rig.main.delivered.size(), isLinkDown)) << "cycle " << i;
            // Replug while the loop sits in a link-down pause, as it nearly always does.
            ASSERT_TRUE(rig.clock->waitHeld()) << "cycle " << i;
            ASSERT_TRUE(rig.board.replug()) << rig.board.error();
            const std::size_t replugged = rig.timeline.mark();
            rig.clock->releaseHeld();
            marks.emplace_back(unplugged, replugged);
        }
        ASSERT_TRUE(rig.deliverUntil(rig.main.delivered.size(), isMeasurement));
        EXPECT_EQ(testsupport::openDescriptorCount(), fdsUp) << "descriptors leaked over " << kCycles << " cycles";
        rig.clock->setStepping(true);
        ASSERT_TRUE(rig.clock->waitPaused());
        rig.deliver();

        const auto events = rig.timeline.events();
        const auto& delivered = rig.main.delivered;
        ASSERT_EQ(delivered.size(), rig.timeline.handOvers()) << "a record handed over was not delivered";
        for (int i = 0; i < kCycles; ++i) {
            const auto down = spanUntil(events, marks[static_cast<std::size_t>(i)].first, delivered, isLinkDown);
            ASSERT_TRUE(down.found) << "cycle " << i;
            EXPECT_EQ(down.longPauses, 0u) << "cycle " << i << ": the link-down report waited for a 1.0 s pause";
            EXPECT_LE(down.shortPauses, 2u) << "cycle " << i << ": the loss was not seen by the next exchange";
            const auto up = spanUntil(events, marks[static_cast<std::size_t>(i)].second, delivered, isMeasurement);
            ASSERT_TRUE(up.found) << "cycle " << i;
            EXPECT_EQ(up.longPauses, 1u) << "cycle " << i << ": measurements came back after " << up.longPauses
                                         << " more link-down pauses";
        }

        // Each unplug may take the frame that was on its way; nothing else is
        // lost and nothing misread, since a new line starts empty.
        const auto c = rig.board.counters();
        EXPECT_EQ(c.unplugs, static_cast<std::uint64_t>(kCycles));
        EXPECT_EQ(c.replugs, static_cast<std::uint64_t>(kCycles));
        const auto a = auditFrames(deliveredFrames(delivered), rig.options.seed, c.pollsAnswered);
        EXPECT_TRUE(a.foreign.empty()) << describe(a);
        EXPECT_LE(a.lost.size(), static_cast<std::size_t>(kCycles)) << describe(a);
        EXPECT_EQ(packetCountGaps(delivered), "");
    }
    EXPECT_EQ(testsupport::openDescriptorCount(), fdsBefore);
}

TEST(PlugCycles, InRealTimeTheLinkIsReportedDownAndBackWithinTwoSeconds)
{
    Rig rig({.longFactor = 1.0, .stepping = false}); // the loop's own 1.0 s pauses
    ASSERT_EQ(rig.start(), "");
    ASSERT_TRUE(rig.deliverUntil(0, isMeasurement, 5s));
    rig.main.loop.runFor(200ms);

    ASSERT_TRUE(rig.board.unplug());
    const auto unpluggedAt = Clock::now();
    const std::size_t unplugged = rig.timeline.mark();
    ASSERT_TRUE(rig.deliverUntil(rig.main.delivered.size(), isLinkDown, 5s));

    // Replug half-way through a link-down pause. (Right after one began is
    // the worst case: the rest of that pause, the 1.0 s pause of the cycle
    // that reopens the line, and one exchange - a hair over 2 s.)
    ASSERT_TRUE(testsupport::waitFor(
        [&] {
            const auto e = rig.timeline.events();
            return std::any_of(e.begin() + static_cast<std::ptrdiff_t>(unplugged), e.end(),
                               [](const Event& x) { return x.kind == Event::LongPause; });
        },
        5s));
    rig.main.loop.runFor(500ms);
    ASSERT_TRUE(rig.board.replug()) << rig.board.error();
    const auto repluggedAt = Clock::now();
    const std::size_t replugged = rig.timeline.mark();
    ASSERT_TRUE(rig.deliverUntil(rig.main.delivered.size(), isMeasurement, 5s));
    rig.deliver();

    const auto events = rig.timeline.events();
    const auto down = spanUntil(events, unplugged, rig.main.delivered, isLinkDown);
    const auto up = spanUntil(events, replugged, rig.main.delivered, isMeasurement);
    ASSERT_TRUE(down.found);
    ASSERT_TRUE(up.found);
    const std::chrono::duration<double> toDown = down.at - unpluggedAt, toUp = up.at - repluggedAt;
    RecordProperty("link_down_ms", static_cast<int>(toDown.count() * 1000));
    RecordProperty("link_up_ms", static_cast<int>(toUp.count() * 1000));
    EXPECT_LT(toDown, 2s) << "link-down reported " << toDown.count() << " s after the unplug";
    EXPECT_LT(toUp, 2s) << "measurements back " << toUp.count() << " s after the replug";
    EXPECT_EQ(up.longPauses, 1u);
}
