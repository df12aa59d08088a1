// plovex-cli read-param and write-param against a simulated board.

#include "platform/Preferences.h"
#include "tests/cli/CliProcess.h"
#include "tests/cli/CliTestUtil.h"
#include "tests/cli/TestBoard.h"

#include <gtest/gtest.h>

using namespace clitest;
using plovex::sim::FrameKind;

namespace {

using Bytes = std::vector<uint8_t>;

} // namespace

TEST(ReadParam, PrintsTheBoardsValueAloneAndSendsOnlyTheReadRequest)
{
    TestBoard board;
    board->setEeprom(3, -123);
    board->setEeprom(15, 32767);
    const std::vector<std::pair<std::string, int>> cases = {{"3", 3}, {"0", 0}, {"15", 15}, {"16", 16}, {"0x10", 16},
                                                            {"200", 200}, {"255", 255}};
    for (const auto& [text, address] : cases) {
        board->clearFrames();
        const auto r = runCli({"read-param", text, "--port", board.path()});
        ASSERT_EQ(r.exitCode, 0) << text << ": " << r.err;
        EXPECT_EQ(r.out, std::to_string(board->eeprom(address)) + "\n") << text;
        // One request and nothing else: no poll runs beside a one-shot command.
        const auto frames = board->frames();
        ASSERT_EQ(frames.size(), 1u) << text;
        EXPECT_EQ(frames[0].kind, FrameKind::ReadRequest);
        EXPECT_EQ(frames[0].bytes, (Bytes{0x08, static_cast<uint8_t>(address)}));
    }
}

TEST(ReadParam, SimulateReadsFromABoardStartedInsideTheCommand)
{
    const auto r = runCli({"read-param", "1", "--simulate"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "1000\n") << "the simulated board's Sx primary gain";
}

TEST(ReadParam, FailsWithAClearMessageWhenTheBoardDoesNotAnswerOrThePortIsMissing)
{
    TestBoard board;
    board->setSilent(true);
    auto r = runCli({"read-param", "2", "--port", board.path()});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_TRUE(contains(r.err, "did not answer")) << r.err;
    EXPECT_TRUE(contains(r.err, board.path())) << r.err;

    r = runCli({"read-param", "2", "--port", missingPort()});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_TRUE(contains(r.err, missingPort())) << r.err;
}

TEST(ReadParam, UsesTheRememberedPortAndElsePointsAtThePortsCommand)
{
    TestBoard board;
    testsupport::TempDir config;
    {
        platform::FilePreferences prefs(config.path() / "plovex" / "plovex.conf");
        prefs.setObject(board.path(), "serialPortPath");
        prefs.setObject("board", "serialPortName");
        ASSERT_TRUE(prefs.synchronize());
    }
    const std::string before = testsupport::readFile(config.path() / "plovex" / "plovex.conf");
    CliOptions remembered;
    remembered.env["XDG_CONFIG_HOME"] = config.path().string();
    auto r = runCli({"read-param", "1"}, remembered);
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, std::to_string(board->eeprom(1)) + "\n");
    // --port is for this run only: the remembered choice stays as it was.
    r = runCli({"read-param", "1", "--port", missingPort()}, remembered);
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(testsupport::readFile(config.path() / "plovex" / "plovex.conf"), before);

    // Nothing remembered: no built-in device is tried; the user is sent to the list of ports.
    r = runCli({"read-param", "1"});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_TRUE(contains(r.err, "plovex-cli read-param: no port given and none remembered; pass one of the ports "
                                "'plovex-cli ports' lists with --port PATH\n"))
        << r.err;
}

TEST(WriteParam, WithYesSendsTheFrameTheWindowWouldAndTheBoardTakesTheValue)
{
    struct Case {
        std::string address, value;
        int word;
        int16_t stored;
        Bytes frame;
    };
    const std::vector<Case> cases = {
        {"3", "120", 3, 120, {0x09, 0x71, 0x03, 0x00, 0x78, 0xAA}},
        {"1", "70000", 1, 4464, {0x09, 0x71, 0x01, 0x11, 0x70, 0xAA}}, // low 16 bits only
        {"5", "-1", 5, -1, {0x09, 0x71, 0x05, 0xFF, 0xFF, 0xAA}},
        {"15", "0x1234", 15, 0x1234, {0x09, 0x71, 0x0F, 0x12, 0x34, 0xAA}},
        {"16", "4660", 16, 0x1234, {0x99, 0x71, 0x10, 0x12, 0x34, 0xAA}},
        {"255", "-32768", 255, -32768, {0x99, 0x71, 0xFF, 0x80, 0x00, 0xAA}},
        {"2", "-65536", 2, 0, {0x09, 0x71, 0x02, 0x00, 0x00, 0xAA}},
    };
    TestBoard board;
    for (const auto& c : cases) {
        board->clearFrames();
        const auto r = runCli({"write-param", c.address, c.value, "--yes", "--port", board.path()});
        ASSERT_EQ(r.exitCode, 0) << c.address << " " << c.value << ": " << r.err;
        const auto writes = board.waitFrames(FrameKind::Write, 1);
        ASSERT_EQ(writes.size(), 1u) << c.address << " " << c.value;
        EXPECT_EQ(writes[0].bytes, c.frame) << c.address << " " << c.value;
        EXPECT_TRUE(writes[0].accepted) << writes[0].problem;
        EXPECT_EQ(board->frames().size(), 1u) << "the write frame alone";
        EXPECT_EQ(board->eeprom(c.word), c.stored) << c.address << " " << c.value;
    }
}

TEST(WriteParam, WithoutYesAndWithoutATerminalRefusesAndSendsNothing)
{
    TestBoard board;
    CliOptions piped;
    piped.input = "yes\n"; // a pipe is no terminal to confirm on, whatever it says
    const auto r = runCli({"write-param", "3", "99", "--port", board.path()}, piped);
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_TRUE(contains(r.err, "--yes")) << r.err;
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(board->counters().bytesReceived, 0u);
    EXPECT_EQ(board->eeprom(3), 300);
}

TEST(WriteParam, AsksOnATerminalWithTheWindowsQuestionAndWritesOnlyOnYes)
{
    TestBoard board;
    CliOptions yes;
    yes.terminalInput = "y\n";
    auto r = runCli({"write-param", "1", "70000", "--port", board.path()}, yes);
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_TRUE(contains(r.err, "Do you really want to write 4464 to parameter 1 - Sx Primary Gain?")) << r.err;
    ASSERT_EQ(board.waitFrames(FrameKind::Write, 1).size(), 1u);
    EXPECT_EQ(board->eeprom(1), 4464);

    // No description for 9; any answer but y or yes writes nothing.
    board->clearFrames();
    CliOptions no;
    no.terminalInput = "n\n";
    r = runCli({"write-param", "9", "5", "--port", board.path()}, no);
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(contains(r.err, "Do you really want to write 5 to parameter 9 - ?")) << r.err;
    EXPECT_TRUE(board->frames().empty());
    EXPECT_EQ(board->eeprom(9), 2);

    CliOptions upper;
    upper.terminalInput = "YES\n";
    r = runCli({"write-param", "9", "5", "--port", board.path()}, upper);
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(board.waitFrames(FrameKind::Write, 1).size(), 1u);
    EXPECT_EQ(board->eeprom(9), 5);
}

TEST(WriteParam, FailsWhenThePortCannotBeOpened)
{
    const auto r = runCli({"write-param", "3", "1", "--yes", "--port", missingPort()});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(contains(r.err, missingPort())) << r.err;
}
