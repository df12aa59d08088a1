#include "tests/link/LinkTestSupport.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

using namespace plovex;
using namespace std::chrono_literals;
using linktest::MainSide;
using linktest::RecordingSleeper;
using linktest::ScriptedBoard;

namespace {

int value(const platform::RecordPtr& r, const char* key)
{
    return r->intValue(key);
}

} // namespace

TEST(AcquisitionLoop, NothingIsHandedOverBeforeTheStartPause)
{
    MainSide main;
    auto sleeper = std::make_shared<RecordingSleeper>(0.0);
    std::atomic<std::size_t> postsAtFirstPause{999};
    std::atomic<int> pauses{0};
    struct CountingSink : platform::RecordSink {
        platform::RecordSink* inner;
        std::atomic<std::size_t> posts{0};
        void handOver(const char* name, platform::RecordPtr r) override
        {
            ++posts;
            inner->handOver(name, std::move(r));
        }
    } counting;
    counting.inner = &main.handOver;
    sleeper->onPause = [&](double) {
        if (pauses++ == 0)
            postsAtFirstPause = counting.posts.load();
    };
    auto o = main.options(LoopKind::Acquisition, sleeper);
    o.sink = &counting;
    {
        commPort p(o);
        p.setCommPortPath("/nonexistent/plovex-port");
        ASSERT_TRUE(main.runUntilDelivered(4));
    }
    const auto p = sleeper->pauses();
    ASSERT_GE(p.size(), 2u);
    EXPECT_EQ(p[0], 1.0);
    EXPECT_EQ(postsAtFirstPause.load(), 0u);
    EXPECT_EQ(p[1], 1.0) << "a link-down cycle pauses 1.0 s";
}

TEST(AcquisitionLoop, LinkDownCyclesSweepAddressesAndCountThroughTheCycleWrap)
{
    MainSide main;
    auto sleeper = std::make_shared<RecordingSleeper>(0.0);
    constexpr std::size_t cycles = 1005;
    {
        commPort p(main.options(LoopKind::Acquisition, sleeper));
        p.setCommPortPath("/nonexistent/plovex-port");
        ASSERT_TRUE(main.runUntilDelivered(2 * cycles, 60s));
    }
    ASSERT_GE(main.delivered.size(), 2 * cycles);
    for (std::size_t c = 0; c < cycles; ++c) {
        const auto& data = main.delivered[2 * c];
        const auto& param = main.delivered[2 * c + 1];
        ASSERT_EQ(data.name, "inclinoData") << c; // in a link-down cycle the measurement comes first
        ASSERT_EQ(param.name, "inclinoParameter") << c;
        EXPECT_EQ(value(data.record, "commState"), 0);
        EXPECT_EQ(value(data.record, "xGravityRaw"), 0);
        EXPECT_EQ(value(data.record, "yKal"), 7);
        EXPECT_EQ(value(data.record, "temp"), static_cast<int>(c));
        EXPECT_EQ(value(data.record, "packetCount"), static_cast<int>(c));
        EXPECT_EQ(value(param.record, "paddress"), static_cast<int>(c % 16));
        EXPECT_EQ(value(param.record, "pdata"), static_cast<int>(c % 1002)) << "cycle " << c;
    }
}

TEST(AcquisitionLoop, OpenFromTheStartReadsAParameterFirstThenPolls)
{
    ScriptedBoard board;
    MainSide main;
    auto sleeper = std::make_shared<RecordingSleeper>(0.01);
    sleeper->holdStart();
    {
        commPort p(main.options(LoopKind::Acquisition, sleeper));
        p.setCommPortPath(board.path());
        p.setBaudRate(38400);
        ASSERT_GE(p.OpenPort(), 0); // as the controller does at launch
        sleeper->releaseStart();
        ASSERT_TRUE(main.runUntilDelivered(40));
    }
    const auto& d = main.delivered;
    ASSERT_GE(d.size(), 40u);
    EXPECT_EQ(d[0].name, "inclinoParameter");
    EXPECT_EQ(value(d[0].record, "paddress"), 0);
    EXPECT_EQ(value(d[0].record, "pdata"), ScriptedBoard::valueAt(0));
    EXPECT_EQ(d[1].name, "inclinoData");
    EXPECT_EQ(value(d[1].record, "packetCount"), 0);
    EXPECT_EQ(value(d[1].record, "commState"), 1);

    // Frames decode exactly; a parameter read precedes every fifth poll.
    int frames = 0, params = 0;
    for (const auto& x : d) {
        if (x.name == "inclinoParameter") {
            EXPECT_EQ(frames % 5, 0) << "parameter reads fall in cycles 0, 5, 10, ...";
            EXPECT_EQ(value(x.record, "paddress"), params % 16);
            EXPECT_EQ(value(x.record, "pdata"), ScriptedBoard::valueAt(params % 16));
            ++params;
            continue;
        }
        const auto expect = ScriptedBoard::frameValues(frames);
        const auto& keys = x.record->keys();
        for (std::size_t i = 0; i < 9; ++i)
            EXPECT_EQ(x.record->intValue(keys[i]), expect[i]) << "frame " << frames << " key " << keys[i];
        EXPECT_EQ(value(x.record, "packetCount"), frames);
        ++frames;
    }
    EXPECT_GE(params, 7);
}

TEST(AcquisitionLoop, PacketCounterCarriesFromLinkDownCyclesIntoFrames)
{
    ScriptedBoard board;
    MainSide main;
    auto sleeper = std::make_shared<RecordingSleeper>(0.01);
    commPort p(main.options(LoopKind::Acquisition, sleeper));
    p.setCommPortPath("/nonexistent/plovex-port");
    ASSERT_TRUE(main.runUntilDelivered(6)); // three link-down cycles
    p.setCommPortPath(board.path());
    ASSERT_TRUE(main.loop.runUntil(
        [&] {
            for (const auto& d : main.delivered)
                if (d.name == "inclinoData" && d.record->intValue("commState") == 1)
                    return true;
            return false;
        },
        10s));
    int lastDown = -1;
    for (const auto& d : main.delivered) {
        if (d.name != "inclinoData")
            continue;
        if (d.record->intValue("commState") == 0) {
            lastDown = d.record->intValue("packetCount");
            continue;
        }
        // The cycle that opened the port still reported the link down.
        EXPECT_EQ(d.record->intValue("packetCount"), lastDown + 1);
        break;
    }
    EXPECT_GE(lastDown, 2);
}

TEST(AcquisitionLoop, SilentBoardPostsNothingAndFailedReadsAreRetriedAtTheSameAddress)
{
    ScriptedBoard board;
    MainSide main;
    auto sleeper = std::make_shared<RecordingSleeper>(0.0);
    sleeper->holdStart();
    board.silent = true;
    commPort p(main.options(LoopKind::Acquisition, sleeper, 1));
    p.setCommPortPath(board.path());
    p.setBaudRate(38400);
    ASSERT_GE(p.OpenPort(), 0);
    sleeper->releaseStart();
    main.loop.runFor(600ms);
    EXPECT_TRUE(main.delivered.empty()) << "a silent board gives no record at all";
    EXPECT_EQ(p.portOpenOK(), 1);

    // The first reads of address 7 go unanswered; the sweep must not skip it.
    board.ignoreReadsAt = 7;
    board.ignoreReadsCount = 2;
    board.silent = false;
    ASSERT_TRUE(main.loop.runUntil([&] { return main.recordsNamed("inclinoParameter").size() >= 10; }, 20s));
    const auto params = main.recordsNamed("inclinoParameter");
    for (std::size_t i = 0; i < params.size(); ++i)
        EXPECT_EQ(params[i]->intValue("paddress"), static_cast<int>(i % 16));
    EXPECT_EQ(board.ignoreReadsCount.load(), 0);
}

TEST(AcquisitionLoop, AResetWhileThePollWaitsForTheLockSendsNothing)
{
    ScriptedBoard board;
    MainSide main;
    auto sleeper = std::make_shared<RecordingSleeper>(0.01);
    sleeper->holdStart();
    commPort p(main.options(LoopKind::Acquisition, sleeper));
    p.setCommPortPath(board.path());
    p.setBaudRate(38400);
    ASSERT_GE(p.OpenPort(), 0);
    sleeper->releaseStart();
    ASSERT_TRUE(main.loop.runUntil([&] { return main.recordsNamed("inclinoData").size() >= 3; }, 10s));
    std::size_t seen = 0;
    {
        std::unique_lock held(commPortTestAccess::lock(p));
        std::this_thread::sleep_for(50ms); // the loop is at the lock now
        const auto before = board.received().size();
        commPortTestAccess::closeLocked(p);
        p.setCommPortPath("/nonexistent/plovex-port");
        // Whatever was handed over before the reset is delivered now, while
        // the loop still waits for the lock.
        main.loop.runPending();
        seen = main.delivered.size();
        held.unlock();
        std::this_thread::sleep_for(100ms);
        EXPECT_EQ(board.received().size(), before) << "the waiting poll must not touch the closed line";
    }
    ASSERT_TRUE(main.loop.runUntil([&] { return main.delivered.size() > seen + 2; }, 10s));
    // After the reset the next measurement is a link-down record.
    for (std::size_t i = seen; i < main.delivered.size(); ++i)
        if (main.delivered[i].name == "inclinoData") {
            EXPECT_EQ(main.delivered[i].record->intValue("commState"), 0);
            break;
        }
}

TEST(AcquisitionLoop, UnplugReportsTheLinkDownAndReplugResumes)
{
    auto board = std::make_unique<ScriptedBoard>();
    testsupport::TempDir dir;
    const auto link = (dir / "board").string();
    std::filesystem::create_symlink(board->path(), link);
    MainSide main;
    auto sleeper = std::make_shared<RecordingSleeper>(0.05);
    sleeper->holdStart();
    const int fdsBefore = testsupport::openDescriptorCount();
    {
        commPort p(main.options(LoopKind::Acquisition, sleeper));
        p.setCommPortPath(link);
        p.setBaudRate(38400);
        ASSERT_GE(p.OpenPort(), 0);
    sleeper->releaseStart();
        ASSERT_TRUE(main.loop.runUntil([&] { return main.recordsNamed("inclinoData").size() >= 3; }, 10s));

        board.reset(); // unplugged: the master is gone
        std::filesystem::remove(link);
        auto linkState = [&] {
            auto d = main.recordsNamed("inclinoData");
            return d.empty() ? -1 : d.back()->intValue("commState");
        };
        ASSERT_TRUE(main.loop.runUntil([&] { return linkState() == 0; }, 10s));
        EXPECT_EQ(p.portOpenOK(), 0);

        board = std::make_unique<ScriptedBoard>(); // plugged in again at the same link
        std::filesystem::create_symlink(board->path(), link);
        ASSERT_TRUE(main.loop.runUntil([&] { return linkState() == 1; }, 10s));
        board.reset();
    }
    // Both boards and the port are gone: only the first board's pty was counted before.
    EXPECT_EQ(testsupport::openDescriptorCount(), fdsBefore - 1);
}
