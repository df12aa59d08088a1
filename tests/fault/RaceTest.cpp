// EEPROM writes and resets from the main thread racing the acquisition
// loop's exchanges, many times over: the port lock must keep every frame on
// the line whole, and a write may go out only while the line is open.

#include "tests/fault/FaultRig.h"
#include "tests/fault/FrameAudit.h"

#include <gtest/gtest.h>

#include <map>
#include <random>

using namespace faulttest;

namespace {

struct Issued {
    int address;
    std::int16_t value;
    bool open; // the line was open when the write was made
};

std::vector<std::uint8_t> writeFrame(int address, std::int16_t value)
{
    const auto v = static_cast<std::uint16_t>(value);
    return {static_cast<std::uint8_t>(address <= 15 ? 0x09 : 0x99), 0x71, static_cast<std::uint8_t>(address & 0xFF),
            static_cast<std::uint8_t>(v >> 8), static_cast<std::uint8_t>(v & 0xFF), 0xAA};
}

} // namespace

TEST(Races, EepromWritesAndResetsAgainstThePollKeepEveryFrameWhole)
{
    const int fdsBefore = testsupport::openDescriptorCount();
    {
        Rig rig({.longFactor = 0.002, .stepping = false});
        ASSERT_EQ(rig.start(), "");
        ASSERT_TRUE(rig.deliverUntil(0, isMeasurement));

        std::mt19937 random(20240611);
        std::vector<Issued> issued;
        int resets = 0;
        for (int i = 0; i < 600; ++i) {
            if (random() % 12 == 0) {
                rig.port->reset();
                ++resets;
            } else {
                // Values are unique, so each frame the board heard names the write it came from.
                const int address = static_cast<int>(random() % 4 == 0 ? 16 + random() % 240 : random() % 16);
                const auto value = static_cast<std::int16_t>(i * 37 - 11000);
                const bool open = rig.port->portOpenOK() == 1; // only this thread closes the line
                rig.port->writeEEPROM(address, value);
                issued.push_back({address, value, open});
            }
            // Sometimes straight on, sometimes into the middle of an exchange.
            if (random() % 3 == 0)
                rig.main.loop.runFor(std::chrono::milliseconds(random() % 7));
        }
        ASSERT_TRUE(rig.deliverUntil(rig.main.delivered.size(), isMeasurement));
        rig.clock->setStepping(true);
        ASSERT_TRUE(rig.clock->waitPaused());
        rig.deliver();

        // No frame was cut into or interleaved with another.
        const auto c = rig.board.counters();
        EXPECT_EQ(c.malformedFrames, 0u);
        EXPECT_EQ(c.strayBytes, 0u);
        std::size_t next = 0, sentOpen = 0, sentClosed = 0;
        std::map<int, std::int16_t> last;
        for (const auto& f : rig.board.frames()) {
            ASSERT_TRUE(f.kind == plovex::sim::FrameKind::Poll || f.kind == plovex::sim::FrameKind::ReadRequest ||
                        f.kind == plovex::sim::FrameKind::Write)
                << plovex::sim::frameKindName(f.kind);
            if (f.kind != plovex::sim::FrameKind::Write)
                continue;
            EXPECT_TRUE(f.accepted) << f.problem;
            ASSERT_EQ(f.bytes.size(), 6u);
            const auto value = static_cast<std::int16_t>(static_cast<std::uint16_t>(f.bytes[3] << 8 | f.bytes[4]));
            // Writes reach the board in the order they were made; a write
            // made while the line was open is never missing.
            while (next < issued.size() && issued[next].value != value) {
                EXPECT_FALSE(issued[next].open) << "write " << next << " was made on an open line but never arrived";
                ++next;
            }
            ASSERT_LT(next, issued.size()) << "the board heard a write that was never made, or out of order";
            EXPECT_EQ(f.bytes, writeFrame(issued[next].address, issued[next].value)) << "write " << next;
            ++(issued[next].open ? sentOpen : sentClosed);
            last[issued[next].address] = value;
            ++next;
        }
        for (; next < issued.size(); ++next)
            EXPECT_FALSE(issued[next].open) << "write " << next << " was made on an open line but never arrived";
        for (const auto& [address, value] : last)
            EXPECT_EQ(rig.board.eeprom(address), value) << "address " << address;
        EXPECT_EQ(c.writesApplied, sentOpen + sentClosed);
        EXPECT_GT(sentOpen, 300u);
        EXPECT_GT(resets, 20);

        // Every exchange ran whole: frames exact, counters without gaps.
        const auto a = auditFrames(deliveredFrames(rig.main.delivered), rig.options.seed, c.pollsAnswered);
        EXPECT_TRUE(a.lost.empty()) << describe(a);
        EXPECT_TRUE(a.foreign.empty()) << describe(a);
        EXPECT_EQ(a.unread, 0u) << describe(a);
        EXPECT_EQ(packetCountGaps(rig.main.delivered), "");
        std::size_t downs = 0;
        for (const auto& d : rig.main.delivered)
            if (isLinkDown(d))
                ++downs;
        EXPECT_GE(downs, 1u);
        EXPECT_LE(downs, static_cast<std::size_t>(2 * resets)) << "a reset costs one or two link-down cycles";
    }
    EXPECT_EQ(testsupport::openDescriptorCount(), fdsBefore);
}
