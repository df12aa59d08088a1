// What plovex-cli monitor says on standard error about a board that falls silent and a port that
// is not there yet, with standard output kept for records. The board runs in the test, which
// changes it only once the monitor has told what came before: nothing depends on how fast the
// machine is.

#include "sim/SimulatedBoard.h"
#include "tests/support/CliRun.h"

#include <gtest/gtest.h>

#include <csignal>
#include <regex>
#include <sstream>

using namespace testsupport;
using namespace std::chrono_literals;

namespace {

struct Watched {
    explicit Watched(const char* format)
        : board([this] {
              plovex::sim::BoardOptions o;
              o.linkPath = link;
              o.publish = false;
              return o;
          }()),
          monitor({"monitor", "--port", link, "--format", format})
    {
    }
    // The next line on standard error, after "plovex-cli monitor: ".
    std::string told()
    {
        const std::string prefix = "plovex-cli monitor: ";
        const auto line = monitor.readErrorLine(30s);
        return line && line->rfind(prefix, 0) == 0 ? line->substr(prefix.size()) : "(" + line.value_or("nothing") + ")";
    }
    // Waits for n more measurements on standard output.
    bool measurements(int n)
    {
        while (n > 0)
            if (const auto line = monitor.readLine(30s); !line)
                return false;
            else if (line->find("measurement") != std::string::npos)
                --n;
        return true;
    }
    // Ends the monitor; what it told after the lines read so far, and whether standard output held records only.
    std::pair<std::string, bool> end()
    {
        monitor.signal(SIGINT);
        const auto r = monitor.finish();
        EXPECT_EQ(r.exitCode, 0) << r.err;
        const std::regex record(R"re((type|measurement|parameter),.*|\{"type":"(measurement|parameter)",.*)re");
        std::istringstream out(r.out);
        bool recordsOnly = true;
        for (std::string line; std::getline(out, line);)
            recordsOnly = recordsOnly && std::regex_match(line, record);
        return {r.err, recordsOnly};
    }

    TempDir dir;
    const std::string link = (dir / "board").string();
    plovex::sim::SimulatedBoard board;
    CliProcess monitor;
};

} // namespace

TEST(MonitorHealth, SilenceIsToldOnceWhenItBeginsAndOnceWhenItEnds)
{
    Watched w("csv");
    ASSERT_TRUE(w.board.start()) << w.board.error();
    ASSERT_TRUE(w.measurements(5));
    w.board.setSilent(true);
    EXPECT_EQ(w.told(), "no data from the board for 2 s");
    w.board.setSilent(false);
    EXPECT_EQ(w.told(), "data from the board again");
    ASSERT_TRUE(w.measurements(5));
    const auto [err, recordsOnly] = w.end();
    EXPECT_TRUE(recordsOnly);
    EXPECT_EQ(err, "plovex-cli monitor: no data from the board for 2 s\nplovex-cli monitor: data from the board again\n");
}

TEST(MonitorHealth, AMissingPortIsToldOnceAndSoIsItsOpening)
{
    Watched w("jsonl");
    EXPECT_EQ(w.told(), w.link + " is not present; waiting for it to be plugged in. Trying again once a second.");
    ASSERT_TRUE(w.board.start()) << w.board.error();
    EXPECT_EQ(w.told(), "the port " + w.link + " is open");
    ASSERT_TRUE(w.measurements(5));
    const auto [err, recordsOnly] = w.end();
    EXPECT_TRUE(recordsOnly);
    // Once open, a loaded machine may keep the first reply back long enough to tell it as silence.
    const std::string expected = "plovex-cli monitor: " + w.link +
                                 " is not present; waiting for it to be plugged in. Trying again once a second.\n"
                                 "plovex-cli monitor: the port " + w.link + " is open\n";
    EXPECT_EQ(err.rfind(expected, 0), 0u) << err;
}
