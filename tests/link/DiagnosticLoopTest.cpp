#include "platform/Log.h"
#include "tests/link/LinkTestSupport.h"

#include <gtest/gtest.h>

using namespace plovex;
using namespace std::chrono_literals;
using linktest::MainSide;
using linktest::RecordingSleeper;

namespace {

// Collects log entries for the scope.
struct LogCapture {
    std::mutex mutex;
    std::vector<std::string> entries;
    LogCapture()
    {
        platform::setLogSink([this](const std::string& e) {
            std::lock_guard lock(mutex);
            entries.push_back(e);
        });
    }
    ~LogCapture() { platform::setLogSink({}); }
    std::vector<std::string> snapshot()
    {
        std::lock_guard lock(mutex);
        return entries;
    }
};

struct DiagnosticRig {
    testsupport::PtyPeer peer;
    MainSide main;
    std::unique_ptr<commPort> port;
    DiagnosticRig()
    {
        auto sleeper = std::make_shared<RecordingSleeper>(0.01);
        sleeper->holdStart();
        port = std::make_unique<commPort>(main.options(LoopKind::Diagnostic, sleeper));
        port->setCommPortPath(peer.slavePath());
        port->setBaudRate(38400);
        const int fd = port->OpenPort();
        sleeper->releaseStart();
        if (fd < 0)
            throw std::runtime_error("cannot open the test pty");
    }
};

} // namespace

TEST(DiagnosticLoop, LogsEveryByteAndAnswersTheRequests)
{
    LogCapture log;
    DiagnosticRig rig;
    rig.peer.write({0x41, 0x0E});
    EXPECT_EQ(rig.peer.read(11, 3s),
              (std::vector<uint8_t>{0x0E, 0x02, 0x37, 0x00, 0x11, 0x00, 0x00, 0x00, 0x36, 0x02, 0xA7}));
    auto entries = log.snapshot();
    ASSERT_GE(entries.size(), 3u);
    EXPECT_EQ(entries[0], "41, ");
    EXPECT_EQ(entries[1], "e, ");
    EXPECT_EQ(entries[2], "received a 0E");

    rig.peer.write({0xEE, 0xF1});
    EXPECT_EQ(rig.peer.read(5, 3s), (std::vector<uint8_t>{0xF0, 0x00, 0x06, 0x00, 0xF6}));
    rig.peer.write({0xF0});
    EXPECT_EQ(rig.peer.read(5, 3s), (std::vector<uint8_t>{0xF0, 0x00, 0x05, 0x00, 0xF5}));
    rig.peer.write({0x28, 0x01, 0x02});
    EXPECT_EQ(rig.peer.read(7, 3s), (std::vector<uint8_t>{0x28, 0x00, 0x11, 0x00, 0x35, 0x00, 0x6F}));
    rig.peer.write({0x29, 0x00, 0x00, 0x00, 0x12, 0x34, 0x00});
    EXPECT_EQ(rig.peer.read(7, 3s), (std::vector<uint8_t>{0x29, 0x12, 0x34, 0x00, 0x34, 0x12, 0x91}));

    entries = log.snapshot();
    auto has = [&](const std::string& e) { return std::find(entries.begin(), entries.end(), e) != entries.end(); };
    EXPECT_TRUE(has("ee, ")) << "the poll byte is logged and otherwise passed over";
    EXPECT_TRUE(has("received a F1"));
    EXPECT_TRUE(has("received a 28"));
    EXPECT_TRUE(has("received a 29"));
    // The further bytes of a request are not logged as bytes of their own.
    EXPECT_FALSE(has("12, "));
    EXPECT_TRUE(rig.main.delivered.empty()) << "an open line posts no record";
}

TEST(DiagnosticLoop, AShortValueRequestIsNotAnsweredFromBytesNeverReceived)
{
    LogCapture log;
    DiagnosticRig rig;
    rig.peer.write({0x29, 0x01, 0x02});
    EXPECT_TRUE(rig.peer.drain(400ms).empty());
    bool noted = false;
    for (const auto& e : log.snapshot())
        noted |= e.find("not answered") != std::string::npos;
    EXPECT_TRUE(noted);
    // The loop goes on answering afterwards.
    rig.peer.write({0xF0});
    EXPECT_EQ(rig.peer.read(5, 3s).size(), 5u);
}

TEST(DiagnosticLoop, ClosedLinePostsTenEntryRecordsWithTheAttemptCount)
{
    LogCapture log;
    MainSide main;
    {
        commPort p(main.options(LoopKind::Diagnostic, std::make_shared<RecordingSleeper>(0.0)));
        p.setCommPortPath("/nonexistent/plovex-port");
        ASSERT_TRUE(main.runUntilDelivered(5));
    }
    for (std::size_t i = 0; i < 5; ++i) {
        const auto& d = main.delivered[i];
        EXPECT_EQ(d.name, "inclinoData");
        EXPECT_EQ(d.record->count(), 10u);
        EXPECT_FALSE(d.record->contains("commState"));
        EXPECT_EQ(d.record->intValue("temp"), static_cast<int>(i));
        EXPECT_EQ(d.record->intValue("packetCount"), static_cast<int>(i));
    }
    EXPECT_TRUE(log.snapshot().empty());
}
