// plovex-cli monitor --units: the angles in degrees and in the chosen unit
// beside the raw values, and empty cells while the link is down.

#include "tests/support/CliRun.h"
#include "tests/support/LinkRig.h"

#include <cmath>
#include <gtest/gtest.h>
#include <regex>

using namespace testsupport;

namespace {

const std::string kNumber = R"((-?\d+\.\d+))"; // captured

} // namespace

TEST(MonitorFields, CsvNamesTheUnitsColumnsAndLeavesThemEmptyWhileTheLinkIsDown)
{
    const auto r = runCli({"monitor", "--port", "/dev/null", "--format", "csv", "--count", "2", "--units", "mm-per-m"});
    const std::regex rows("type,.*,paddress,pdata,time,x_deg,y_deg,temp_c,x_mm_per_m,y_mm_per_m,link\n"
                          "measurement,0,1,2,3,4,5,6,7,0,0,0,,," + kIsoTime + ",,,,,,down\n"
                          "parameter,,,,,,,,,,,,0,0," + kIsoTime + ",,,,,,down\n");
    EXPECT_TRUE(std::regex_match(r.out, rows)) << r.out << r.err;
}

TEST(MonitorFields, JsonlCarriesTheAnglesInDegreesAndTheChosenUnit)
{
    Board board;
    const auto r = runCli({"monitor", "--port", board.path(), "--format", "jsonl", "--count", "30", "--units", "mrad"});
    const std::regex measurement(R"(\{"type":"measurement",.*"packetCount":(\d+),"commState":1,"time":")" + kIsoTime +
                                 R"(","x_deg":)" + kNumber + R"(,"y_deg":)" + kNumber + R"(,"temp_c":)" + kNumber +
                                 R"(,"x_mrad":)" + kNumber + R"(,"y_mrad":)" + kNumber + R"(,"link":"up"\}\n)");
    int measurements = 0;
    for (auto it = std::sregex_iterator(r.out.begin(), r.out.end(), measurement); it != std::sregex_iterator(); ++it) {
        const auto v = boardFrame(1, std::stoul((*it)[1]));
        const double x = v[3] * 90.0 / 16383.0, y = v[7] * 90.0 / 16383.0;
        const double expected[] = {x, y, v[8] / 10.0, x * M_PI / 0.18, y * M_PI / 0.18};
        for (int i = 0; i < 5; ++i)
            EXPECT_NEAR(std::stod((*it)[i + 2]), expected[i], 1e-3) << it->str();
        ++measurements;
    }
    EXPECT_EQ(measurements, 25) << r.out << r.err; // 30 records: a parameter before every five frames
}

TEST(MonitorFields, WithAverageAnIntervalTakesThePlaceOfItsMeasurements)
{
    // The formats' lines are MonitorOutputs' to check; here the monitor's
    // part: measurements averaged, intervals closed at their ends and the
    // last one at the end of the run, parameters in between.
    const auto r = runCli({"monitor", "--simulate", "--format", "csv", "--units", "mrad", "--average", "1", "--seconds", "3.5"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    const std::string figures = R"((,-?\d+\.\d+){20})", none = ",{20}";
    const std::regex rows("type,time,interval_s,count,x_deg_mean,.*,x_mrad_mean,.*,link_up,paddress,pdata,link\n"
                          "((interval," + kIsoTime + R"(,\d\.\d{3},(0)" + none + "|[1-9]\\d*" + figures +
                          R"(),[01]\.\d{3},,,|parameter,)" + kIsoTime + R"(,{23},\d+,-?\d+,(up|down))\n)+)");
    EXPECT_TRUE(std::regex_match(r.out, rows)) << r.out;
    // A whole second of measurements, aligned to the second, between a
    // first and a last interval that the run cut short.
    EXPECT_TRUE(std::regex_search(r.out, std::regex(R"(\ninterval,[^,]*\.000[+-]\d\d:\d\d,1\.000,[1-9])"))) << r.out;
    EXPECT_TRUE(std::regex_search(r.out, std::regex(R"(interval,[^,]*,0\.\d{3},[^\n]*\n(parameter[^\n]*\n)*$)"))) << r.out;
}
