// Bad usage of each command: exit status 2, one line naming the command and
// the fault on standard error and a pointer to its help, nothing on standard
// output and nothing sent to the board.

#include "tests/cli/CliProcess.h"
#include "tests/cli/CliTestUtil.h"
#include "tests/cli/TestBoard.h"

#include <gtest/gtest.h>

using namespace clitest;

namespace {

void expectUsageError(TestBoard& board, std::vector<std::string> args)
{
    std::string shown;
    for (const auto& a : args)
        shown += a + " ";
    const auto r = runCli(args);
    EXPECT_EQ(r.exitCode, 2) << shown << "\n" << r.err;
    EXPECT_TRUE(contains(r.err, "plovex-cli " + args[0] + ": ")) << shown << "\n" << r.err;
    EXPECT_EQ(lines(r.err).size(), 2u) << shown << "\n" << r.err;
    EXPECT_TRUE(contains(r.err, "\nTry 'plovex-cli " + args[0] + " --help'.\n")) << shown;
    EXPECT_EQ(r.out, "") << shown;
    EXPECT_EQ(board->counters().bytesReceived, 0u) << shown << ": nothing may be sent";
}

} // namespace

TEST(Usage, BadArgumentsOfEveryCommandAreRefusedBeforeAnythingIsSent)
{
    TestBoard board;
    const std::string port = board.path();
    const std::vector<std::vector<std::string>> cases = {
        // monitor
        {"monitor", "--port", port, "--count", "abc"},
        {"monitor", "--port", port, "--count", "-3"},
        {"monitor", "--port", port, "--count", "0"},
        {"monitor", "--port", port, "--count", "2.5"},
        {"monitor", "--port", port, "--count"},
        {"monitor", "--port", port, "--seconds", "soon"},
        {"monitor", "--port", port, "--seconds", "-1"},
        {"monitor", "--port", port, "--seconds", "0"},
        {"monitor", "--port", port, "--format", "xml"},
        {"monitor", "--port", port, "--format", "JSONL"},
        {"monitor", "--port", port, "extra"},
        {"monitor", "--port", port, "--colour"},
        {"monitor", "--port", port, "--simulate"},
        {"monitor", "--port", ""},
        // read-param
        {"read-param", "--port", port},
        {"read-param", "256", "--port", port},
        {"read-param", "-1", "--port", port},
        {"read-param", "three", "--port", port},
        {"read-param", "3", "4", "--port", port},
        // write-param
        {"write-param", "3", "--yes", "--port", port},
        {"write-param", "300", "1", "--yes", "--port", port},
        {"write-param", "3", "1.5", "--yes", "--port", port},
        {"write-param", "3", "12abc", "--yes", "--port", port},
        {"write-param", "3", "4294967296", "--yes", "--port", port},
        {"write-param", "3", "1", "2", "--yes", "--port", port},
        {"write-param", "3", "1", "--yes=no", "--port", port},
        // upload
        {"upload", "--port", port},
        {"upload", "a.bin", "b.bin", "--port", port},
        // reboot
        {"reboot", "now", "--port", port},
        // diag
        {"diag", "--seconds", "x", "--port", port},
        {"diag", "--seconds", "0", "--port", port},
        {"diag", "stray", "--port", port},
    };
    for (const auto& args : cases)
        expectUsageError(board, args);
}

TEST(Usage, HelpOfEveryCommandGoesToStandardOutput)
{
    for (const std::string command : {"monitor", "read-param", "write-param", "upload", "reboot", "diag"}) {
        const auto r = runCli({command, "--help"});
        EXPECT_EQ(r.exitCode, 0) << command;
        EXPECT_EQ(r.out.rfind("usage: plovex-cli " + command, 0), 0u) << command << ": " << r.out;
        EXPECT_TRUE(contains(r.out, "--port PATH")) << command;
        EXPECT_TRUE(contains(r.out, "--simulate")) << command;
        EXPECT_EQ(r.err, "") << command;
    }
}
