// plovex-cli capture against simulated boards: the figures of the frames
// the board sent, and why there is no reading when there is none.

#include "link/BoardFacts.h"
#include "link/TiltUnits.h"
#include "stats/RunningStats.h"
#include "tests/support/CliRun.h"
#include "tests/support/LinkRig.h"

#include <gtest/gtest.h>

#include <csignal>
#include <regex>

using namespace testsupport;

namespace {

// The number after "key": in a JSON object.
double field(const std::string& json, const std::string& key)
{
    std::smatch m;
    if (!std::regex_search(json, m, std::regex("\"" + key + "\":(-?[0-9.]+)")))
        return std::nan("");
    return std::stod(m[1]);
}

} // namespace

TEST(CaptureCli, GivesTheFiguresOfTheFramesTheBoardSent)
{
    // The capture begins with the first record delivered: the board's
    // frame 0 (seed 1), then every frame in order.
    Board board;
    const auto r = runCli({"capture", "--port", board.path(), "--seconds", "0.5", "--format", "json", "--units", "mrad",
                           "--label", "pier 3"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_TRUE(std::regex_match(r.out, std::regex("\\{\"time\":\"" + kIsoTime + "\",\"label\":\"pier 3\",\"seconds\":0.500,.*\\}\n")))
        << r.out;
    const auto count = static_cast<std::size_t>(field(r.out, "count"));
    ASSERT_GE(count, 1u);
    plovex::stats::RunningStats x, y, xMrad, temp;
    for (std::size_t k = 0; k < count; ++k) {
        const auto v = boardFrame(1, k);
        const double xd = plovex::board::countsToDegrees(v[3]);
        x.add(xd);
        y.add(plovex::board::countsToDegrees(v[7]));
        xMrad.add(plovex::board::fromDegrees(plovex::board::TiltUnit::Milliradians, xd));
        temp.add(plovex::board::tenthsToDegrees(v[8]));
    }
    const struct {
        const char* key;
        double want, within;
    } figures[] = {
        {"x_deg_mean", x.mean(), 1e-5},  {"x_deg_sd", x.stddev(), 1e-5},   {"x_deg_min", x.min(), 1e-5},
        {"x_deg_max", x.max(), 1e-5},    {"y_deg_mean", y.mean(), 1e-5},   {"y_deg_sd", y.stddev(), 1e-5},
        {"x_mrad_mean", xMrad.mean(), 1e-4}, {"x_mrad_max", xMrad.max(), 1e-4}, {"temp_c_mean", temp.mean(), 0.01},
        {"temp_c_max", temp.max(), 0.01},
    };
    for (const auto& f : figures)
        EXPECT_NEAR(field(r.out, f.key), f.want, f.within) << f.key << " of " << count << " frames in " << r.out;
}

TEST(CaptureCli, SaysWhyThereIsNoReading)
{
    // A missing port: the link is down from the start.
    auto r = runCli({"capture", "--port", kMissingPort, "--seconds", "1"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "plovex-cli capture: the link was down during the capture (the port " + kMissingPort +
                         " does not open: No such file or directory)\n");

    // A board that falls silent, one that is unplugged, and an end by a
    // signal, each after the board has answered some polls.
    Board silent, unplugged, interrupted, moving;
    CliProcess toSilence({"capture", "--port", silent.path(), "--seconds", "30"}),
        toUnplug({"capture", "--port", unplugged.path(), "--seconds", "30"}),
        toInterrupt({"capture", "--port", interrupted.path(), "--seconds", "30"}),
        wandering({"capture", "--port", moving.path(), "--seconds", "1", "--wait-stable", "--wait-limit", "3"});
    for (Board* b : {&silent, &unplugged, &interrupted})
        ASSERT_TRUE(waitFor([&] { return (*b)->counters().pollsAnswered > 20; }, 10s));
    silent->setSilent(true);
    unplugged->unplug();
    toInterrupt.signal(SIGINT);
    const struct {
        CliProcess* process;
        std::string error;
    } cases[] = {
        {&toSilence, R"(the board sent nothing for 2\.\d s during the capture)"},
        {&toUnplug, "the link was down during the capture \\(the port " + unplugged.path() + " does not open: .*\\)"},
        {&toInterrupt, "stopped before the capture was complete"},
        {&wandering, R"(not stable within 3\.0 s: the spread over the last 2\.0 s is \d+\.\d{4}° in X and \d+\.\d{4}° in Y, above 0\.0500°)"},
    };
    for (const auto& c : cases) {
        r = c.process->finish();
        EXPECT_EQ(r.exitCode, 1);
        EXPECT_EQ(r.out, "");
        EXPECT_TRUE(std::regex_match(r.err, std::regex("plovex-cli capture: " + c.error + "\n"))) << r.err;
    }
}
