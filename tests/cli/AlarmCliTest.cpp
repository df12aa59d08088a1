// plovex-cli monitor's and log's alarms, run as a child process against
// simulated boards held at a tilt: the lines and records of each change, the
// log's alarms column, the --on-alarm program, which never holds up the
// records, and where a malformed rule is wrong.

#include "tests/support/CliRun.h"
#include "tests/support/LinkRig.h"

#include <gtest/gtest.h>

#include <csignal>
#include <sys/stat.h>

using namespace testsupport;
using plovex::sim::MotionPlan;

namespace {

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
        if (line && contains(*line, part))
            return true;
    }
    return false;
}

const CliOptions kPatient = [] { CliOptions o; o.timeout = 60s; return o; }();

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
                           kPatient);
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
        EXPECT_TRUE(contains(r.err, "plovex-cli monitor: alarm raised: x_deg>2.5 at ")) << r.err;
        EXPECT_TRUE(contains(r.err, "plovex-cli monitor: alarm cleared: x_deg>2.5 at ")) << r.err;
        EXPECT_FALSE(contains(r.err + r.out, "temp_c>60")) << "a rule that never held says nothing";
        EXPECT_TRUE(contains(r.err, row.says)) << r.err;
        std::filesystem::remove(dir / "go");
    }
    const std::string env = readFile(dir / "env");
    EXPECT_TRUE(contains(env, "PLOVEX_ALARM_STATE=raised\n") && contains(env, "PLOVEX_ALARM_STATE=cleared\n")) << env;
    EXPECT_TRUE(contains(env, "PLOVEX_ALARM_RULE=x_deg>2.5\nPLOVEX_ALARM_STATE=raised\nPLOVEX_ALARM_TIME=")) << env;
    EXPECT_TRUE(contains(env, "PLOVEX_ALARM_VALUE=4.9991\n")) << env;
    EXPECT_TRUE(contains(env, "PLOVEX_ALARM_PORT=")) << env;
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
                       kPatient);
    EXPECT_TRUE(readUntil(monitor, R"({"type":"alarm","state":"raised","rule":"tilt_deg>4.98","value":4.993)"));
    EXPECT_TRUE(readUntil(monitor, R"({"type":"alarm","state":"raised","rule":"silent>1.5")"));
    EXPECT_TRUE(readUntil(monitor, R"({"type":"alarm","state":"cleared","rule":"silent>1.5","value":0.000,)"));
    monitor.signal(SIGINT);
    const auto r = monitor.finish();
    EXPECT_FALSE(contains(r.out + r.err, "tilt_deg>5")) << "4.993° is not above 5°";
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

TEST(CliAlarms, EachLogRowNamesTheAlarmsItsMeasurementLeftRaised)
{
    plovex::sim::BoardOptions options;
    options.motion = kTilted;
    Board board(options);
    TempDir dir;
    CliProcess log({"log", "--port", board.path(), "--dir", dir.path().string(), "--sync", "0.1", "--alarm", "x_deg>2.5",
                    "--alarm", "x_deg>3", "--alarm", "temp_c>60"},
                   kPatient);
    // Each row's cells, once the file has a row for which done is true.
    auto rowsUntil = [&](const std::function<bool(const std::vector<std::string>&)>& done) {
        std::vector<std::vector<std::string>> rows;
        waitFor([&] {
            rows.clear();
            for (const auto& e : std::filesystem::directory_iterator(dir.path())) {
                for (const auto& line : lines(readFile(e.path())))
                    rows.push_back(cells(line));
            }
            return std::any_of(rows.begin(), rows.end(), done);
        }, 20s);
        return rows;
    };
    auto level = [](const std::vector<std::string>& row) { return row.size() == 18 && row[16] == "up" && row[2] == "0.0000"; };
    rowsUntil([](const auto& row) { return row.size() == 18 && row[17] == "x_deg>2.5;x_deg>3"; });
    board->setMotion(kLevel);
    const auto rows = rowsUntil(level);
    log.signal(SIGINT);
    const auto r = log.finish();
    EXPECT_EQ(r.exitCode, 0) << r.err;

    ASSERT_FALSE(rows.empty());
    EXPECT_EQ(rows[0].back(), "alarms");
    EXPECT_TRUE(std::any_of(rows.begin(), rows.end(), level));
    for (std::size_t i = 1; i < rows.size(); ++i) {
        ASSERT_EQ(rows[i].size(), 18u);
        if (rows[i][16] != "up")
            continue;
        // With no hold and no hysteresis a rule is raised exactly while its
        // value is beyond it, the row's own measurement included.
        const double x = std::stod(rows[i][2]);
        const std::string expected = x > 3 ? "x_deg>2.5;x_deg>3" : x > 2.5 ? "x_deg>2.5" : "";
        EXPECT_EQ(rows[i][17], expected) << "x_deg " << rows[i][2];
    }
    EXPECT_TRUE(contains(r.err, "plovex-cli log: alarm raised: x_deg>2.5 at ")) << r.err;
    EXPECT_TRUE(contains(r.err, "plovex-cli log: alarm cleared: x_deg>3 at ")) << r.err;
    EXPECT_FALSE(contains(r.err, "temp_c>60")) << r.err;
}
