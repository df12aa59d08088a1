// plovex-cli diag against the simulated board in diagnostic-peer mode.

#include "tests/cli/CliProcess.h"
#include "tests/cli/CliTestUtil.h"
#include "tests/cli/TestBoard.h"

#include <gtest/gtest.h>

using namespace clitest;
using plovex::sim::FrameKind;

TEST(Diag, AnswersTheFiveRequestsOfTheDiagnosticPeer)
{
    plovex::sim::BoardOptions options;
    options.mode = plovex::sim::BoardMode::DiagnosticPeer;
    TestBoard peer(options);
    const auto r = runCli({"diag", "--port", peer.path(), "--seconds", "3"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "") << "the log entries go to standard error";

    const auto counters = peer->counters();
    EXPECT_EQ(counters.diagWrong, 0u);
    // The peer sends 0x0E, 0x28, 0x29, 0xF0, 0xF1 in turn: five right answers in a row cover them all.
    EXPECT_GE(counters.diagCorrect, 5u);
    for (const auto& reply : peer->frames(FrameKind::DiagReply))
        EXPECT_TRUE(reply.accepted || reply.problem.find("no reply") != std::string::npos) << reply.problem;
    for (const char* entry : {"received a 0E", "received a 28", "received a 29", "received a F0", "received a F1"})
        EXPECT_TRUE(contains(r.err, entry)) << entry;
    EXPECT_TRUE(contains(r.err, "e, ")) << "each byte is logged in lower-case hex";
}

TEST(Diag, ReportsAPortThatNeverOpens)
{
    const auto r = runCli({"diag", "--port", missingPort(), "--seconds", "1.5"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(contains(r.err, missingPort() + " was closed; open attempt 0")) << r.err;
    EXPECT_TRUE(contains(r.err, "never opened")) << r.err;
}
