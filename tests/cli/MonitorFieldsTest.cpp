// plovex-cli monitor's added fields: the time of every record, and the
// measured angles and temperature (in a second unit with --units).

#include "tests/cli/CliProcess.h"
#include "tests/cli/CliTestUtil.h"
#include "tests/cli/FlatJson.h"
#include "tests/cli/TestBoard.h"

#include <cmath>
#include <gtest/gtest.h>
#include <regex>

using namespace clitest;

static const std::string kIso = R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}[+-]\d\d:\d\d)";

TEST(MonitorFields, CsvAddsTimeAndEmptyValuesWhileTheLinkIsDown)
{
    const std::string cases[][3] = {{"deg", "", ""}, {"mm-per-m", ",x_mm_per_m,y_mm_per_m", ",,"}};
    for (const auto& [units, header, cells] : cases) {
        const auto r = runCli({"monitor", "--port", "/dev/null", "--format", "csv", "--count", "2", "--units", units});
        const auto out = lines(r.out);
        ASSERT_EQ(out.size(), 3u) << r.out << r.err;
        EXPECT_EQ(out[0].substr(out[0].find(",time,")), ",time,x_deg,y_deg,temp_c" + header);
        EXPECT_TRUE(std::regex_match(out[1], std::regex("measurement,0,1,2,3,4,5,6,7,0,0,0,,," + kIso + ",,," + cells)));
        EXPECT_TRUE(std::regex_match(out[2], std::regex("parameter,,,,,,,,,,,,0,0," + kIso + ",,," + cells))) << out[2];
    }
}

TEST(MonitorFields, JsonlCarriesTheAnglesInDegreesAndTheChosenUnit)
{
    TestBoard board;
    const auto r = runCli({"monitor", "--port", board.path(), "--format", "jsonl", "--count", "30", "--units", "mrad"});
    int measurements = 0;
    for (const auto& line : lines(r.out)) {
        const auto rec = parseFlatJson(line);
        ASSERT_TRUE(rec && !rec->added.empty() && std::regex_match(rec->added[0].second, std::regex(kIso))) << line;
        if (rec->type != "measurement")
            continue;
        ++measurements;
        const double x = *rec->value("xKal") * 90.0 / 16383.0, y = *rec->value("yKal") * 90.0 / 16383.0;
        const std::pair<std::string, double> expected[] = {{"x_deg", x}, {"y_deg", y}, {"temp_c", *rec->value("temp") / 10.0},
                                                           {"x_mrad", x * M_PI / 0.18}, {"y_mrad", y * M_PI / 0.18}};
        ASSERT_EQ(rec->added.size(), 6u) << line;
        for (int i = 0; i < 5; ++i) {
            EXPECT_EQ(rec->added[i + 1].first, expected[i].first);
            EXPECT_NEAR(std::stod(rec->added[i + 1].second), expected[i].second, 1e-3) << line;
        }
    }
    EXPECT_GT(measurements, 20) << r.err;
}
