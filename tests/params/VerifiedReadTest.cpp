// Reading the parameters as a whole on a line that misbehaves: every value
// delivered is the board's, and what cannot be trusted is named as unreadable.

#include "params/BoardParameters.h"
#include "tests/support/LinkRig.h"

#include <gtest/gtest.h>

#include <functional>
#include <optional>

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
