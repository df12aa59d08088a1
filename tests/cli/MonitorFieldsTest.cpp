// plovex-cli monitor's added fields: the time of every record, and the
// measured angles and temperature (in a second unit with --units).

#include "link/Records.h"
#include "tests/cli/CliProcess.h"
#include "tests/cli/CliTestUtil.h"
#include "tests/cli/FlatJson.h"
#include "tests/cli/TestBoard.h"

#include <cmath>
#include <gtest/gtest.h>
#include <regex>

using namespace clitest;

namespace {
const std::string kIso = R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}[+-]\d\d:\d\d)";
}

TEST(MonitorFields, CsvAddsTimeAndEmptyValuesWhileTheLinkIsDown)
{
    const struct {
        std::string units, extraHeader, extraCells;
    } cases[] = {{"deg", "", ""}, {"mrad", ",x_mrad,y_mrad", ",,"}, {"mm-per-m", ",x_mm_per_m,y_mm_per_m", ",,"}};
    for (const auto& c : cases) {
        const auto r = runCli({"monitor", "--port", "/dev/null", "--format", "csv", "--count", "2", "--units", c.units});
        ASSERT_EQ(r.exitCode, 0) << r.err;
        const auto out = lines(r.out);
        ASSERT_EQ(out.size(), 3u) << r.out;
        EXPECT_EQ(out[0], "type,xGravityRaw,xGravityKal,xRaw,xKal,yGravityRaw,yGravityKal,yRaw,yKal,temp,packetCount,"
                          "commState,paddress,pdata,time,x_deg,y_deg,temp_c" + c.extraHeader);
        EXPECT_TRUE(std::regex_match(out[1], std::regex("measurement,0,1,2,3,4,5,6,7,0,0,0,,," + kIso + ",,," + c.extraCells)))
            << out[1];
        EXPECT_TRUE(std::regex_match(out[2], std::regex("parameter,,,,,,,,,,,,0,0," + kIso + ",,," + c.extraCells)))
            << out[2];
    }
}

TEST(MonitorFields, JsonlCarriesTheAnglesInDegreesAndTheChosenUnit)
{
    TestBoard board;
    const auto r = runCli({"monitor", "--port", board.path(), "--format", "jsonl", "--count", "30", "--units", "percent"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    int measurements = 0;
    for (const auto& line : lines(r.out)) {
        const auto rec = parseFlatJson(line);
        ASSERT_TRUE(rec) << line;
        ASSERT_FALSE(rec->added.empty()) << line;
        EXPECT_EQ(rec->added[0].first, "time");
        EXPECT_TRUE(std::regex_match(rec->added[0].second, std::regex(kIso))) << line;
        if (rec->type != "measurement")
            continue;
        ++measurements;
        ASSERT_EQ(rec->added.size(), 6u) << line;
        const double xdeg = *rec->value("xKal") * 90.0 / 16383.0, ydeg = *rec->value("yKal") * 90.0 / 16383.0;
        const double expected[] = {xdeg, ydeg, *rec->value("temp") / 10.0, 100 * std::tan(xdeg * M_PI / 180),
                                   100 * std::tan(ydeg * M_PI / 180)};
        const char* names[] = {"x_deg", "y_deg", "temp_c", "x_percent", "y_percent"};
        for (int i = 0; i < 5; ++i) {
            EXPECT_EQ(rec->added[i + 1].first, names[i]);
            EXPECT_NEAR(std::stod(rec->added[i + 1].second), expected[i], 1e-3) << line;
        }
    }
    EXPECT_GT(measurements, 20);
}
