// What plovex-cli monitor says on standard error about a board that falls
// silent and a port that is not there yet, with standard output kept for
// records; the simulated board's silence switched on and off by time.

#include "tests/cli/CliProcess.h"

#include <gtest/gtest.h>

#include <sstream>
#include <thread>

namespace {

using namespace std::chrono_literals;
using clitest::CliProcess;

std::vector<std::string> lines(const std::string& text)
{
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        out.push_back(line);
    return out;
}

TEST(MonitorLinkHealth, StandardErrorTellsSilenceAndAbsenceOnceEach)
{
    struct Case {
        const char* name;
        std::vector<std::string> simulate; // besides --link
        bool boardFirst;                   // else the board comes 1.5 s after the monitor
        std::string format, recordStart;
        std::vector<std::string> told; // standard error, in order, after "plovex-cli monitor: "
    };
    const std::string link = (clitest::isolatedHome() / "board").string();
    const Case cases[] = {
        {"silent", {"--silent-after", "1", "--answer-again-after", "2.5"}, true, "csv", "measurement,",
         {"no data from the board for 2 s", "data from the board again"}},
        {"absent", {}, false, "jsonl", "{\"type\":\"measurement\"",
         {link + " is not present; waiting for it to be plugged in. Trying again once a second.",
          "the port " + link + " is open"}},
    };
    for (const Case& c : cases) {
        std::vector<std::string> simArgs{"simulate", "--link", link};
        simArgs.insert(simArgs.end(), c.simulate.begin(), c.simulate.end());
        std::unique_ptr<CliProcess> board;
        if (c.boardFirst) {
            board = std::make_unique<CliProcess>(simArgs, clitest::CliOptions{});
            ASSERT_TRUE(board->readLine(5s)) << c.name;
        }
        CliProcess monitor({"monitor", "--port", link, "--format", c.format, "--seconds", "5.5"}, {});
        if (!c.boardFirst) {
            std::this_thread::sleep_for(1500ms);
            board = std::make_unique<CliProcess>(simArgs, clitest::CliOptions{});
        }
        const auto result = monitor.finish();
        EXPECT_EQ(result.exitCode, 0) << c.name << result.err;
        std::vector<std::string> told;
        for (const auto& line : lines(result.err))
            told.push_back(line.substr(std::string("plovex-cli monitor: ").size()));
        EXPECT_EQ(told, c.told) << c.name;
        for (const auto& line : lines(result.out)) {
            const bool record = line.rfind("type,", 0) == 0 || line.rfind("parameter,", 0) == 0 ||
                                line.rfind("{\"type\":\"parameter\"", 0) == 0 || line.rfind(c.recordStart, 0) == 0;
            EXPECT_TRUE(record) << c.name << ": " << line; // records only
        }
        EXPECT_GT(lines(result.out).size(), 100u) << c.name;
    }
}

} // namespace
