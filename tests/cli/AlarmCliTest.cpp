// plovex-cli monitor's alarms, run as a child process against simulated
// boards held at a tilt: the lines and records of each change, the
// --on-alarm program, which never holds up the records, and where a
// malformed rule is wrong.

#include "tests/support/CliRun.h"
#include "tests/support/LinkRig.h"

#include <gtest/gtest.h>

#include <csignal>
#include <sys/stat.h>

using namespace testsupport;
using plovex::sim::MotionPlan;

namespace {

bool has(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

std::string program(const TempDir& dir, const std::string& body)
{
    const auto path = dir / "on-alarm";
    writeFile(path, "#!/bin/sh\n" + body + "\n");
    ::chmod(path.c_str(), 0755);
    return path.string();
}

// Reads the monitor's lines until one holds part; false when none does
// within 20 s (the records keep coming, so a missing line is told by time).
bool readUntil(CliProcess& monitor, const std::string& part)
{
    const auto until = std::chrono::steady_clock::now() + 20s;
    while (std::chrono::steady_clock::now() < until) {
        const auto line = monitor.readLine(1s);
        if (line && has(*line, part))
            return true;
    }
    return false;
}

CliOptions patient()
{
    CliOptions o;
    o.timeout = 60s;
    return o;
}

const MotionPlan kTilted{.kind = MotionPlan::Kind::Hold, .x = 5, .y = 0};
const MotionPlan kLevel{.kind = MotionPlan::Kind::Hold, .x = 0, .y = 0};

} // namespace

TEST(CliAlarms, AProgramThatHangsOrFailsNeverHoldsUpTheRecords)
{
    TempDir dir;
    const std::string d = dir.path().string();
    const struct {
        std::string body;
        const char* says; // on standard error about the program
    } rows[] = {
        // Says it started, then waits for the test (30 s at most).
        {"env | grep ^PLOVEX_ALARM_ | sort >> " + d + "/env\necho start >> " + d + "/log\ni=0\nwhile [ ! -e " + d +
             "/go ] && [ $i -lt 1500 ]; do sleep 0.02; i=$((i+1)); done\necho end >> " + d + "/log",
         ""},
        {"echo start >> " + d + "/log; exit 3", "failed with exit status 3 (alarm raised: x_deg>2.5)"},
    };
    for (const auto& row : rows) {
        std::filesystem::remove(dir / "log");
        plovex::sim::BoardOptions options;
        options.motion = kTilted;
        Board board(options);
        CliProcess monitor({"monitor", "--port", board.path(), "--format", "jsonl", "--alarm", "x_deg>2.5",
                            "--alarm", "temp_c>60", "--on-alarm", program(dir, row.body), "--on-alarm-timeout", "60"},
                           patient());
        ASSERT_TRUE(readUntil(monitor, R"({"type":"alarm","state":"raised","rule":"x_deg>2.5","value":4.9991,)"));
        ASSERT_TRUE(waitFor([&] { return readFile(dir / "log") == "start\n"; }, 10s));
        // The program has the change: the records go on meanwhile, while a
        // record path that waited for it would stand still for 30 s.
        int records = 0;
        while (records < 100 && monitor.readLine(5s))
            ++records;
        EXPECT_EQ(records, 100);
        EXPECT_EQ(readFile(dir / "log"), "start\n") << "the program still runs, or failed, while the records come";
        board->setMotion(kLevel);
        EXPECT_TRUE(readUntil(monitor, R"({"type":"alarm","state":"cleared","rule":"x_deg>2.5","value":0.0000,)"));
        writeFile(dir / "go", "");
        EXPECT_TRUE(waitFor([&] { return readFile(dir / "log").size() == (*row.says ? 12 : 20); }, 10s))
            << "the program runs for the clear too: " << readFile(dir / "log");
        monitor.signal(SIGINT);
        const auto r = monitor.finish();
        EXPECT_EQ(r.exitCode, 0) << r.err;
        EXPECT_TRUE(has(r.err, "plovex-cli monitor: alarm raised: x_deg>2.5 at ")) << r.err;
        EXPECT_TRUE(has(r.err, "plovex-cli monitor: alarm cleared: x_deg>2.5 at ")) << r.err;
        EXPECT_FALSE(has(r.err + r.out, "temp_c>60")) << "a rule that never held says nothing";
        EXPECT_TRUE(has(r.err, row.says)) << r.err;
        std::filesystem::remove(dir / "go");
    }
    const std::string env = readFile(dir / "env");
    EXPECT_TRUE(has(env, "PLOVEX_ALARM_STATE=raised\n") && has(env, "PLOVEX_ALARM_STATE=cleared\n")) << env;
    EXPECT_TRUE(has(env, "PLOVEX_ALARM_RULE=x_deg>2.5\nPLOVEX_ALARM_STATE=raised\nPLOVEX_ALARM_TIME=")) << env;
    EXPECT_TRUE(has(env, "PLOVEX_ALARM_VALUE=4.9991\n")) << env;
    EXPECT_TRUE(has(env, "PLOVEX_ALARM_PORT=")) << env;
}

TEST(CliAlarms, TheTotalTiltAndSilenceOfASimulatedBoardAreRaisedAndCleared)
{
    TempDir dir;
    // 3° and 4° make 4.993°; the board falls silent for 3 s after 2 s.
    CliProcess simulator({"simulate", "--link", (dir / "board").string(), "--tilt", "3,4", "--silent-after", "2",
                          "--answer-again-after", "3"});
    const auto path = simulator.readLine(5s);
    ASSERT_TRUE(path);
    CliProcess monitor({"monitor", "--port", *path, "--format", "jsonl", "--alarm", "tilt_deg>4.98",
                        "--alarm", "tilt_deg>5", "--alarm", "silent>1.5", "--hold", "0.2"},
                       patient());
    EXPECT_TRUE(readUntil(monitor, R"({"type":"alarm","state":"raised","rule":"tilt_deg>4.98","value":4.993)"));
    EXPECT_TRUE(readUntil(monitor, R"({"type":"alarm","state":"raised","rule":"silent>1.5")"));
    EXPECT_TRUE(readUntil(monitor, R"({"type":"alarm","state":"cleared","rule":"silent>1.5","value":0.000,)"));
    monitor.signal(SIGINT);
    const auto r = monitor.finish();
    EXPECT_FALSE(has(r.out + r.err, "tilt_deg>5")) << "4.993° is not above 5°";
    simulator.signal(SIGINT);
    EXPECT_EQ(simulator.finish().exitCode, 0);
}

TEST(CliAlarms, AMalformedRuleIsShownWithACaretUnderTheFault)
{
    Board board;
    const auto r = runCli({"monitor", "--port", board.path(), "--alarm", "x_deg>2.5", "--alarm", "temp_c>60,hold=1,hyst=2"});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_EQ(r.err, "plovex-cli monitor: --alarm: unknown option 'hyst': hysteresis or hold\n"
                     "  temp_c>60,hold=1,hyst=2\n"
                     "                   ^\n"
                     "Try 'plovex-cli monitor --help'.\n");
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(board->counters().bytesReceived, 0u);
}
