// One program per port, and a refused open told as the user can act on it:
// plovex-cli processes against one simulated board, and an unprivileged user
// against a port only root may open.

#include "tests/support/CliRun.h"
#include "tests/support/LinkRig.h"

#include <gtest/gtest.h>

#include <csignal>
#include <sys/stat.h>
#include <unistd.h>

using namespace testsupport;
using plovex::sim::FrameKind;

TEST(PortGuard, ASecondProgramOnABoardInUseIsRefusedAndSendsNothing)
{
    Board board;
    board->setEeprom(3, 77);
    TempDir dir;
    writeFile(dir / "image.bin", std::string(100, 'x'));
    CliProcess holder({"monitor", "--port", board.path()});
    ASSERT_TRUE(holder.readLine(10s)) << "the monitor has the line";
    const std::string inUse =
        board.path() + " is in use by plovex-cli (pid " + std::to_string(holder.pid()) + "); close it there first.\n";
    const std::vector<std::vector<std::string>> commands = {
        {"write-param", "3", "5", "--yes"}, {"reboot"}, {"upload", (dir / "image.bin").string()},
        {"read-param", "3"},                {"params"}, {"params", "save", (dir / "saved.json").string()},
    };
    for (auto args : commands) {
        const std::string name = args[0] == "params" && args.size() > 1 ? "params save" : args[0];
        args.insert(args.end(), {"--port", board.path()});
        const auto r = runCli(args); // as root, which the exclusive flag does not stop
        EXPECT_EQ(r.exitCode, 1) << name << ": " << r.err;
        EXPECT_EQ(r.err, "plovex-cli " + name + ": " + inUse);
        EXPECT_EQ(r.out, "");
    }
    for (const auto kind : {FrameKind::Write, FrameKind::Reboot, FrameKind::ProgramBlock, FrameKind::Cut})
        EXPECT_TRUE(board->frames(kind).empty()) << plovex::sim::frameKindName(kind);
    EXPECT_EQ(board->eeprom(3), 77);
    holder.signal(SIGTERM);
    EXPECT_EQ(holder.finish().exitCode, 0);
    EXPECT_EQ(runCli({"write-param", "3", "5", "--yes", "--port", board.path()}).exitCode, 0) << "free again";
}

TEST(PortGuard, AUserWhoMayNotOpenThePortIsToldWhoMay)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to run a command as another user";
    PtyPeer line;
    ASSERT_EQ(::chmod(line.slavePath().c_str(), 0600), 0); // root's alone
    CliOptions nobody;
    nobody.user = 65534;
    const std::string sentence = "No permission to open " + line.slavePath() +
                                 "; only its owner root may open it. A udev rule can let your user open it: see the "
                                 "example rule the README points to (packaging/udev/60-plovex.rules).";
    const auto monitor = runCli({"monitor", "--port", line.slavePath(), "--count", "2"}, nobody);
    EXPECT_EQ(monitor.exitCode, 0) << monitor.err;
    EXPECT_TRUE(contains(monitor.err, "plovex-cli monitor: " + sentence + " Trying again once a second.\n")) << monitor.err;
    for (const std::string command : {"read-param", "reboot"}) {
        std::vector<std::string> args = {command, "--port", line.slavePath()};
        if (command == "read-param")
            args.insert(args.begin() + 1, "3");
        const auto r = runCli(args, nobody);
        EXPECT_EQ(r.exitCode, 1);
        EXPECT_EQ(r.err, "plovex-cli " + command + ": " + sentence + "\n");
    }
    EXPECT_TRUE(line.drain(50ms).empty());
}
