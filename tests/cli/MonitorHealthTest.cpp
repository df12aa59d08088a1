// What plovex-cli monitor says on standard error about a board that falls silent (switched on and
// off by time) and a port that is not there yet, with standard output kept for records.

#include "tests/support/CliRun.h"

#include <gtest/gtest.h>

#include <regex>
#include <sstream>
#include <thread>

using namespace testsupport;
using namespace std::chrono_literals;

TEST(MonitorHealth, StandardErrorTellsSilenceAndAbsenceOnceEach)
{
    TempDir dir;
    const std::string link = (dir / "board").string();
    struct Case {
        std::vector<std::string> simulate; // besides --link
        bool boardFirst;                   // else the board comes 1.5 s after the monitor
        const char* format;
        std::vector<std::string> told; // standard error, in order, after "plovex-cli monitor: "
    };
    const Case cases[] = {
        {{"--silent-after", "1", "--answer-again-after", "2.5"}, true, "csv",
         {"no data from the board for 2 s", "data from the board again"}},
        {{}, false, "jsonl",
         {link + " is not present; waiting for it to be plugged in. Trying again once a second.",
          "the port " + link + " is open"}},
    };
    const std::regex record(R"re((type|measurement|parameter),.*|\{"type":"(measurement|parameter)",.*)re");
    for (const Case& c : cases) {
        auto simArgs = c.simulate;
        simArgs.insert(simArgs.begin(), {"simulate", "--link", link});
        std::unique_ptr<CliProcess> board;
        if (c.boardFirst) {
            board = std::make_unique<CliProcess>(simArgs);
            ASSERT_TRUE(board->readLine(5s)) << c.format;
        }
        CliProcess monitor({"monitor", "--port", link, "--format", c.format, "--seconds", "5.5"});
        if (!c.boardFirst) {
            std::this_thread::sleep_for(1500ms);
            board = std::make_unique<CliProcess>(simArgs);
        }
        const auto result = monitor.finish();
        EXPECT_EQ(result.exitCode, 0) << c.format << result.err;
        std::vector<std::string> told;
        std::istringstream err(result.err), out(result.out);
        for (std::string line; std::getline(err, line);)
            told.push_back(line.substr(std::string("plovex-cli monitor: ").size()));
        EXPECT_EQ(told, c.told) << c.format;
        std::size_t records = 0;
        for (std::string line; std::getline(out, line); ++records)
            EXPECT_TRUE(std::regex_match(line, record)) << c.format << ": " << line; // records only
        EXPECT_GT(records, 100u) << c.format;
    }
}
