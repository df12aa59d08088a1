// plovex-cli, run as a child process against simulated boards and missing ports.

#include "link/Records.h"
#include "platform/Preferences.h"
#include "tests/support/CliRun.h"
#include "tests/support/FakeSysfs.h"
#include "tests/support/LinkRig.h"

#include <gtest/gtest.h>

#include <cctype>
#include <filesystem>
#include <csignal>
#include <regex>
#include <sstream>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

using namespace testsupport;
using plovex::sim::FrameKind;

// A decimal number.
static const std::string kNum = R"(-?\d+\.\d+)";

TEST(Cli, BadUsageIsRefusedBeforeAnythingIsSent)
{
    Board board;
    const std::string p = board.path();
    TempDir dir;
    const std::string fifo = (dir / "password").string(); // read, it would wait for a writer
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const std::vector<std::vector<std::string>> cases = {
        {"monitor", "--port", p, "--count", "0"},    {"monitor", "--port", p, "--count", "2.5"},
        {"monitor", "--port", p, "--seconds", "-1"}, {"monitor", "--port", p, "--format", "JSONL"},
        {"monitor", "--port", p, "--simulate"},      {"monitor", "--port", ""},
        {"monitor", "--port", p, "--colour"},        {"monitor", "--port", p, "extra"},
        {"monitor", "--port", p, "--hold", "1"},     {"monitor", "--port", p, "--alarm", "x_deg>1", "--alarm", "x_deg>1"},
        {"monitor", "--port", p, "--alarm", "x_deg>1", "--on-alarm", "no-such-program-plovex"},
        {"read-param", "--port", p},                 {"read-param", "256", "--port", p},
        {"read-param", "three", "--port", p},        {"write-param", "3", "--yes", "--port", p},
        {"write-param", "300", "1", "--yes", "--port", p}, {"write-param", "3", "12abc", "--yes", "--port", p},
        {"write-param", "3", "4294967296", "--yes", "--port", p}, {"write-param", "3", "1", "--yes=no", "--port", p},
        {"write-param", "3", "70000", "--yes", "--port", p}, {"write-param", "3", "-40000", "--yes", "--port", p},
        {"write-param", "3", "65536", "--yes", "--port", p}, {"write-param", "3", "32768", "--yes", "--port", p},
        {"write-param", "16", "1", "--yes", "--port", p},  {"write-param", "-1", "1", "--yes", "--port", p},
        {"upload", "--port", p},                     {"upload", "a.bin", "b.bin", "--port", p},
        {"reboot", "now", "--port", p},              {"diag", "--seconds", "0", "--port", p},
        {"simulate", "--cut", "-1"},                 {"simulate", "--stray", "x"},
        {"simulate", "--tilt", "3"},                 {"simulate", "--sweep", "1,2,0"},
        {"capture", "--port", p},                    {"capture", "--seconds", "0", "--port", p},
        {"capture", "--seconds", "1", "--wait-limit", "5", "--port", p},
        {"capture", "--seconds", "1", "--format", "jsonl", "--port", p},
        {"monitor", "--port", p, "--mqtt", "mqtt://127.0.0.1/t", "--username", "u", "--password-file", fifo},
        {"log", "--port", p},                        {"log", "--port", p, "--dir", ""},
        {"log", "--port", p, "--dir", "d", "--average", "0.05"}, {"log", "--port", p, "--dir", "d", "--rotate", "weekly"},
        {"log", "--port", p, "--dir", "d", "--rotate", "512"}, {"log", "--port", p, "--dir", "d", "--rotate", "1.5G"},
        {"log", "--port", p, "--dir", "d", "--keep", "0"}, {"log", "--port", p, "--dir", "d", "--sync", "0"},
    };
    for (const auto& args : cases) {
        const auto r = runCli(args);
        EXPECT_EQ(r.exitCode, 2) << args[1] << " " << r.err;
        const auto err = lines(r.err); // one line naming the command and the fault, one pointing at its help
        ASSERT_EQ(err.size(), 2u) << r.err;
        EXPECT_EQ(err[0].rfind("plovex-cli " + args[0] + ": ", 0), 0u) << r.err;
        EXPECT_EQ(err[1], "Try 'plovex-cli " + args[0] + " --help'.");
        EXPECT_EQ(r.out, "");
    }
    EXPECT_EQ(board->counters().bytesReceived, 0u) << "nothing may be sent";
}

TEST(Cli, EveryListedCommandsUsageBeginsWithItsLineInTheList)
{
    const auto all = runCli({"--help"});
    std::istringstream list(all.out.substr(all.out.find("Commands:\n") + 10));
    int commands = 0;
    for (std::string line; std::getline(list, line) && line.rfind("  ", 0) == 0; ++commands) {
        const std::string synopsis = line.substr(2, line.find("  ", 2) - 2); // "params save FILE [--force]"
        std::istringstream words(synopsis);
        std::vector<std::string> name;
        for (std::string w; words >> w && std::islower(static_cast<unsigned char>(w[0]));)
            name.push_back(w);
        name.push_back("--help");
        const auto r = runCli(name);
        EXPECT_EQ(r.exitCode, 0) << synopsis;
        EXPECT_EQ(r.out.rfind("usage: plovex-cli " + synopsis, 0), 0u) << synopsis << "\n" << r.out;
    }
    EXPECT_GT(commands, 1);
}

TEST(Cli, ReadAndWriteParamTakeTheRememberedOrGivenPort)
{
    plovex::sim::BoardOptions readOnly;
    readOnly.readOnly = {7};
    Board board(readOnly);
    board->setEeprom(3, -123);
    const std::pair<std::string, int> reads[] = {{"3", 3}, {"0x10", 16}, {"255", 255}};
    for (const auto& [text, address] : reads) {
        board->clearFrames();
        const auto r = runCli({"read-param", text, "--port", board.path()});
        EXPECT_EQ(r.exitCode, 0) << r.err;
        EXPECT_EQ(r.out, std::to_string(board->eeprom(address)) + "\n");
        for (const auto& frame : board->frames()) // no poll runs beside a one-shot command
            EXPECT_EQ(frame.bytes, (Bytes{0x08, static_cast<uint8_t>(address)}));
    }
    struct Write {
        std::vector<std::string> words;
        Bytes frame;
        int exitCode;
        std::string said; // on standard output (exit 0) or error
    };
    const Write writes[] = {
        {{"1", "4464"}, {0x09, 0x71, 0x01, 0x11, 0x70, 0xAA}, 0, "Wrote 4464 to parameter 1 - Sx Primary Gain; it reads back"},
        {{"15", "0x1234"}, {0x09, 0x71, 0x0F, 0x12, 0x34, 0xAA}, 0, "Wrote 4660 to parameter 15; it reads back"},
        {{"2", "-32768"}, {0x09, 0x71, 0x02, 0x80, 0x00, 0xAA}, 0, "Wrote -32768 to parameter 2"},
        {{"7", "5"}, {0x09, 0x71, 0x07, 0x00, 0x05, 0xAA}, 1,
         "the board on " + board.path() + ": parameter 7 (data selector): wrote 5, the board holds 0\n"},
    };
    for (const auto& w : writes) {
        board->clearFrames();
        const auto r = runCli({"write-param", w.words[0], w.words[1], "--yes", "--port", board.path()});
        EXPECT_EQ(r.exitCode, w.exitCode) << r.err;
        EXPECT_TRUE(contains(w.exitCode ? r.err : r.out, w.said)) << r.out << r.err;
        const auto sent = board->frames(FrameKind::Write);
        ASSERT_EQ(sent.size(), 1u);
        EXPECT_EQ(sent[0].bytes, w.frame);
        EXPECT_FALSE(board->frames(FrameKind::ReadRequest).empty()) << "read back";
    }
    EXPECT_EQ(board->eeprom(1), 4464);

    TempDir config;
    platform::FilePreferences prefs(config / "plovex" / "plovex.conf");
    prefs.setObject(board.path(), "serialPortPath");
    ASSERT_TRUE(prefs.synchronize());
    const std::string stored = readFile(config / "plovex" / "plovex.conf");
    CliOptions remembered;
    remembered.env["XDG_CONFIG_HOME"] = config.path().string();
    EXPECT_EQ(runCli({"read-param", "1"}, remembered).out, "4464\n");
    EXPECT_EQ(runCli({"read-param", "1", "--port", kMissingPort}, remembered).exitCode, 1);
    EXPECT_EQ(readFile(config / "plovex" / "plovex.conf"), stored) << "--port is for this run only";
    EXPECT_EQ(runCli({"read-param", "1", "--simulate"}).out, "1000\n") << "a board started inside the command";
    const auto none = runCli({"read-param", "1"}); // nothing remembered: no built-in device is tried
    EXPECT_EQ(none.exitCode, 2);
    EXPECT_EQ(none.err, "plovex-cli read-param: no port given and none remembered; pass one of the ports "
                        "'plovex-cli ports' lists with --port PATH\nTry 'plovex-cli read-param --help'.\n");

    board->setSilent(true);
    for (const auto& args : {std::vector<std::string>{"read-param", "2", "--port", board.path()},
                             {"read-param", "2", "--port", kMissingPort}, {"reboot", "--port", kMissingPort},
                             {"write-param", "3", "1", "--yes", "--port", kMissingPort}}) {
        const auto r = runCli(args);
        EXPECT_EQ(r.exitCode, 1);
        EXPECT_TRUE(contains(r.err, args[args.size() - 1])) << "the message names the port: " << r.err;
        EXPECT_EQ(r.out, "");
    }
}

TEST(Cli, WriteParamAsksOnATerminalAndNowhereElse)
{
    Board board;
    struct Case {
        std::optional<std::string> typed; // nullopt: no terminal
        std::vector<std::string> words;
        int exitCode;
        int16_t stored;
    };
    const Case cases[] = {
        {std::nullopt, {"3", "99"}, 2, 300},
        {"n\n", {"9", "5"}, 1, 2},
        {"YES\n", {"1", "4464"}, 0, 4464},
    };
    for (const auto& c : cases) {
        CliOptions o;
        o.terminalInput = c.typed;
        const auto r = runCli({"write-param", c.words[0], c.words[1], "--port", board.path()}, o);
        EXPECT_EQ(r.exitCode, c.exitCode) << r.err;
        const std::string question = c.words[0] == "9" ? "Do you really want to write 5 to parameter 9 - ?"
                                                       : "Do you really want to write 4464 to parameter 1 - Sx Primary Gain?";
        EXPECT_EQ(contains(r.err, question), c.typed.has_value()) << r.err;
        board.frames(FrameKind::Write, c.exitCode == 0 ? 1 : 0);
        EXPECT_EQ(board->eeprom(std::stoi(c.words[0])), c.stored);
    }
    EXPECT_EQ(board->frames(FrameKind::Write).size(), 1u);
}

TEST(Cli, MonitorPrintsEveryRecordAsTheWindowGetsIt)
{
    Board board, textBoard;
    board->setEeprom(3, -123);
    textBoard->setEeprom(3, -123);
    textBoard->setEeprom(7, 4711);
    // Both at once: each waits out the loop's 1.0 s start.
    CliProcess jsonl({"monitor", "--port", board.path(), "--format", "jsonl", "--count", "120"}),
        text({"monitor", "--port", textBoard.path(), "--count", "60"});
    auto r = jsonl.finish();
    ASSERT_EQ(r.exitCode, 0) << r.err;
    auto out = lines(r.out);
    ASSERT_EQ(out.size(), 120u);
    int frames = 0, params = 0; // the first parameter is read before the first poll
    for (const auto& line : out) {
        std::string expected, tail = ",\"time\":\"" + kIsoTime + "\""; // the record's entries exactly; then a pattern
        if (frames % 5 == 0 && frames / 5 == params) {
            const int a = params++ % 16;
            expected = R"({"type":"parameter","paddress":)" + std::to_string(a) + R"(,"pdata":)" + std::to_string(board->eeprom(a));
        } else {
            expected = R"({"type":"measurement")";
            const auto v = boardFrame(1, frames);
            for (std::size_t k = 0; k < 9; ++k)
                expected += ",\"" + plovex::records::measurementKeys()[k] + "\":" + std::to_string(v[k]);
            expected += R"(,"packetCount":)" + std::to_string(frames++) + R"(,"commState":1)";
            tail += ",\"x_deg\":" + kNum + ",\"y_deg\":" + kNum + ",\"temp_c\":" + kNum + ",\"tilt_deg\":" + kNum;
        }
        tail += R"(,"link":"up")";
        const auto time = line.find(",\"time\":");
        ASSERT_NE(time, std::string::npos) << line;
        EXPECT_EQ(line.substr(0, time), expected);
        EXPECT_TRUE(std::regex_match(line.substr(time), std::regex(tail + "}"))) << line;
    }

    r = text.finish();
    out = lines(r.out);
    ASSERT_EQ(out.size(), 60u);
    const std::regex measurement(R"(\d\d:\d\d:\d\d\.\d{3}  X +-?\d+\.\d\d°  Y +-?\d+\.\d\d°  +-?2\d\.\d°C  Comms OK  packet \d+)");
    const std::regex parameter(R"(\d\d:\d\d:\d\d\.\d{3}  parameter .*)");
    for (const auto& line : out)
        EXPECT_TRUE(std::regex_match(line, parameter) || std::regex_match(line, measurement)) << line;
    EXPECT_TRUE(contains(r.out, "parameter  3  Rx measurement variance    -123\n")) << r.out;
    EXPECT_TRUE(contains(r.out, "parameter  7  data selector              4711\n")) << r.out;
}

TEST(Cli, MonitorShowsAMissingPortAsDownAndEndsOnASignal)
{
    Board board, other;
    CliProcess interrupted({"monitor", "--port", board.path(), "--format", "jsonl"}),
        terminated({"monitor", "--port", other.path(), "--format", "jsonl"});
    // /dev/null opens but is no serial line: the link's console line goes to standard error.
    auto r = runCli({"monitor", "--port", "/dev/null", "--format", "csv", "--count", "4"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const auto out = lines(r.out); // the link down: no angles
    const std::string expected[] = {"type,xGravityRaw,xGravityKal,xRaw,xKal,yGravityRaw,yGravityKal,yRaw,yKal,temp,packetCount,"
                                    "commState,paddress,pdata,time,x_deg,y_deg,temp_c,tilt_deg,link",
                                    "measurement,0,1,2,3,4,5,6,7,0,0,0,,,T,,,,,down", "parameter,,,,,,,,,,,,0,0,T,,,,,down",
                                    "measurement,0,1,2,3,4,5,6,7,1,1,0,,,T,,,,,down", "parameter,,,,,,,,,,,,1,1,T,,,,,down"};
    ASSERT_EQ(out.size(), std::size(expected)) << r.out;
    for (std::size_t i = 0; i < out.size(); ++i)
        EXPECT_EQ(std::regex_replace(out[i], std::regex(kIsoTime), "T"), expected[i]);
    EXPECT_TRUE(contains(r.err, "Error setting TIOCEXCL on /dev/null")) << r.err;

    for (auto [monitor, sig] : {std::pair{&interrupted, SIGINT}, std::pair{&terminated, SIGTERM}}) {
        ASSERT_TRUE(monitor->readLine(30s)) << "each line reaches the pipe as it is made";
        monitor->signal(sig);
        EXPECT_EQ(monitor->finish().exitCode, 0);
    }

    // The kernel may hand the signal to any thread, the link's among them: it
    // still ends the monitor cleanly (and, under ThreadSanitizer, without a
    // race between the handler's thread and the main loop).
    Board third;
    CliProcess onLinkThread({"monitor", "--port", third.path(), "--format", "jsonl"});
    ASSERT_TRUE(onLinkThread.readLine(30s));
    pid_t linkThread = 0;
    for (const auto& task : std::filesystem::directory_iterator("/proc/" + std::to_string(onLinkThread.pid()) + "/task"))
        if (const pid_t tid = std::stoi(task.path().filename().string()); tid != onLinkThread.pid())
            linkThread = tid;
    ASSERT_NE(linkThread, 0) << "the monitor runs its link on a thread of its own";
    ASSERT_EQ(::syscall(SYS_tgkill, onLinkThread.pid(), linkThread, SIGTERM), 0);
    const auto r3 = onLinkThread.finish();
    EXPECT_EQ(r3.exitCode, 0) << r3.err;
}

TEST(Cli, UploadShowsItsBlocksAndRebootSendsTwoBytes)
{
    Board board;
    TempDir dir;
    std::string image;
    for (int i = 0; i < 100; ++i)
        image += static_cast<char>(i * 7 + 1);
    writeFile(dir / "image.bin", image);
    CliOptions terminal;
    terminal.stderrTerminal = true;
    auto r = runCli({"upload", (dir / "image.bin").string(), "--port", board.path(), "--no-snapshot"}, terminal);
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const auto out = lines(r.out);
    ASSERT_EQ(out.size(), 3u) << "standard output carries the console lines, then the summary";
    EXPECT_EQ(out[0].rfind("0  9A, 71, 0, 0, 1, 8, F, 16, ", 0), 0u) << out[0];
    EXPECT_EQ(out[1].rfind("64  9A, 71, 0, 40, C1, C8, ", 0), 0u) << out[1];
    const std::string summary = "Sent " + (dir / "image.bin").string() + " to " + board.path() + ": 100 bytes, 2 blocks, ";
    EXPECT_EQ(out[2].substr(0, summary.size()), summary);
    EXPECT_TRUE(std::regex_match(out[2].substr(summary.size()), std::regex("[0-9]+\\.[0-9] s\\."))) << out[2];
    EXPECT_TRUE(contains(r.err, " 50%  0.50 s left") && contains(r.err, "100%  0.25 s left")) << "the progress bar: " << r.err;
    board.frames(FrameKind::ProgramBlock, 2);
    board->stop();
    EXPECT_EQ(board->image(), Bytes(image.begin(), image.end()));

    Board other;
    writeFile(dir / "large.bin", std::string(65536, 'x'));
    for (const auto& file : {dir / "large.bin", dir / "missing.bin", dir.path()}) {
        r = runCli({"upload", file.string(), "--port", other.path()});
        EXPECT_EQ(r.exitCode, 1);
        EXPECT_TRUE(contains(r.err, file.string())) << r.err;
    }
    EXPECT_EQ(other->counters().bytesReceived, 0u);
    EXPECT_EQ(runCli({"reboot", "--port", other.path()}).exitCode, 0);
    EXPECT_EQ(other.frames(FrameKind::Reboot, 1).size(), 1u);
    EXPECT_EQ(other->counters().bytesReceived, 2u);
}

TEST(Cli, AnUploadCutShortByAnUnplugSaysSoAndTheNextOneWorks)
{
    Board board;
    TempDir dir;
    writeFile(dir / "long.bin", std::string(640, 'a')); // 11 blocks, 2.75 s
    writeFile(dir / "short.bin", std::string(100, 'b'));
    CliProcess cut({"upload", (dir / "long.bin").string(), "--port", board.path(), "--no-snapshot"});
    ASSERT_EQ(board.frames(FrameKind::ProgramBlock, 2).size(), 2u);
    ASSERT_TRUE(board->unplug());
    const auto r = cut.finish();
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(std::regex_search(r.err, std::regex("^plovex-cli upload: " + (dir / "long.bin").string() +
                                                    ": the port went away after [0-9]+ of 640 bytes; the board "
                                                    "holds an incomplete image\n$")))
        << r.err;

    ASSERT_TRUE(board->replug());
    board->clearFrames();
    const auto again = runCli({"upload", (dir / "short.bin").string(), "--port", board.path()});
    ASSERT_EQ(again.exitCode, 0) << again.err;
    board.frames(FrameKind::ProgramBlock, 2);
    board->stop();
    EXPECT_EQ(board->image(), Bytes(100, 'b'));
}

TEST(Cli, PortsListsOnStandardOutputAndLeavesTheDiscoveryLinesToStandardError)
{
    FakeSysfs machine;
    machine.addPort("ttyUSB0");
    machine.addPort("ttyUSB1", std::nullopt); // no callout path: the listing ends there
    const auto r = runCli({"ports", "--sysfs-root", machine.sys().string()});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "ttyUSB0\t/dev/ttyUSB0\n");
    EXPECT_EQ(r.err, "Port Name: /dev/ttyUSB0\n");
}

TEST(Cli, DiagAnswersTheSimulatedRequester)
{
    plovex::sim::BoardOptions o;
    o.mode = plovex::sim::BoardMode::DiagnosticPeer;
    Board peer(o);
    CliProcess closed({"diag", "--port", kMissingPort}), diag({"diag", "--port", peer.path()});
    ASSERT_TRUE(waitFor([&] { return peer->counters().diagCorrect >= 5; }));
    diag.signal(SIGINT);
    const auto r = diag.finish();
    ASSERT_EQ(r.exitCode, 0) << r.err;
    for (auto line = closed.readErrorLine(30s); line && !contains(*line, "open attempt 0"); line = closed.readErrorLine(30s)) {
    }
    closed.signal(SIGINT);
    const auto never = closed.finish();
    EXPECT_EQ(never.exitCode, 1);
    EXPECT_TRUE(contains(never.err, kMissingPort + " was closed; open attempt 0") && contains(never.err, "never opened")) << never.err;
    EXPECT_GE(peer->counters().diagCorrect, 5u);
    EXPECT_EQ(peer->counters().diagWrong, 0u);
    EXPECT_TRUE(contains(r.err, "received a 29")) << "the log goes to standard error";
}

TEST(Cli, SimulateOffersABoardThatMisbehavesAsAsked)
{
    TempDir dir;
    const struct {
        std::vector<std::string> flags;
        std::string printed;
        std::vector<std::string> told; // on standard error before the read, after "plovex-cli simulate: "
    } cases[] = {
        {{}, "1000\n", {}},
        {{"--stray", "2"}, "", {}},     // the stray bytes 0x00 0x12 would shift the reply
        {{"--cut", "1"}, "", {}},       // one reply byte, then silence
        {{"--silent"}, "", {}},
        {{"--silent-after", "0", "--answer-again-after", "3600"}, "", {"the board falls silent"}},
        {{"--silent-after", "0.1", "--answer-again-after", "0.1"}, "1000\n",
         {"the board falls silent", "the board answers again"}},
    };
    for (const auto& [flags, printed, told] : cases) {
        std::vector<std::string> args = {"simulate", "--link", (dir / "board").string()};
        args.insert(args.end(), flags.begin(), flags.end());
        CliProcess simulator(args);
        const auto path = simulator.readLine(20s);
        ASSERT_EQ(path, (dir / "board").string());
        simulator.readErrorLine(20s); // the board and its line
        for (const auto& notice : told)
            ASSERT_EQ(simulator.readErrorLine(20s), "plovex-cli simulate: " + notice);
        const auto r = runCli({"read-param", "1", "--port", *path});
        EXPECT_EQ(r.out, printed);
        EXPECT_EQ(r.exitCode, printed.empty() ? 1 : 0) << r.err;
        simulator.signal(SIGINT);
        const auto end = simulator.finish();
        EXPECT_EQ(end.exitCode, 0);
        EXPECT_TRUE(contains(end.err, "reads answered")) << "what it received, at its end: " << end.err;
    }
}

TEST(Cli, SimulateRefusesALinkARunningBoardHoldsAndTakesOverOneLeftBehind)
{
    TempDir dir;
    const std::string link = (dir / "board").string();
    CliProcess first({"simulate", "--link", link});
    ASSERT_EQ(first.readLine(20s), link);
    const auto refused = runCli({"simulate", "--link", link});
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_EQ(refused.err, "plovex-cli simulate: " + link + ": a running simulated board holds it\n");
    EXPECT_EQ(runCli({"read-param", "1", "--port", link}).out, "1000\n");
    first.signal(SIGKILL); // gone without removing its link
    first.finish();
    CliProcess next({"simulate", "--link", link});
    ASSERT_EQ(next.readLine(20s), link) << "a link whose board died is taken over";
    EXPECT_EQ(runCli({"read-param", "1", "--port", link}).out, "1000\n");
    next.signal(SIGINT);
    const auto end = next.finish();
    EXPECT_TRUE(contains(end.err, "reads answered 2,")) << "read-param reads twice to be sure: " << end.err;
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(link))) << "its link stays behind";
}
