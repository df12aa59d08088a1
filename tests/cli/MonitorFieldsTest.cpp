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
const std::string kTimeOfDay = R"(\d\d:\d\d:\d\d\.\d{3})";

} // namespace

TEST(MonitorFields, CsvNamesTheUnitsColumnsAndLeavesThemEmptyWhileTheLinkIsDown)
{
    const auto r = runCli({"monitor", "--port", "/dev/null", "--format", "csv", "--count", "2", "--units", "mm-per-m"});
    const std::regex rows("type,.*,paddress,pdata,time,x_deg,y_deg,temp_c,x_mm_per_m,y_mm_per_m\n"
                          "measurement,0,1,2,3,4,5,6,7,0,0,0,,," + kIsoTime + ",,,,,\n"
                          "parameter,,,,,,,,,,,,0,0," + kIsoTime + ",,,,,\n");
    EXPECT_TRUE(std::regex_match(r.out, rows)) << r.out << r.err;
}

TEST(MonitorFields, JsonlCarriesTheAnglesInDegreesAndTheChosenUnit)
{
    Board board;
    const auto r = runCli({"monitor", "--port", board.path(), "--format", "jsonl", "--count", "30", "--units", "mrad"});
    const std::regex measurement(R"(\{"type":"measurement",.*"packetCount":(\d+),"commState":1,"time":")" + kIsoTime +
                                 R"(","x_deg":)" + kNumber + R"(,"y_deg":)" + kNumber + R"(,"temp_c":)" + kNumber +
                                 R"(,"x_mrad":)" + kNumber + R"(,"y_mrad":)" + kNumber + "\\}\n");
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
    // One process per format, side by side, each with a simulated board of its own.
    const std::string stats = R"((,-?\d+\.\d+){20})", empty = ",{20}";
    const std::pair<std::string, std::regex> formats[] = {
        {"csv", std::regex("type,time,interval_s,count,x_deg_mean,x_deg_sd,x_deg_min,x_deg_max,y_deg_mean,.*,"
                           "x_mrad_mean,.*,temp_c_max,link_up,paddress,pdata\n"
                           "((interval," + kIsoTime + R"(,\d\.\d{3},(0)" + empty + "|[1-9]\\d*" + stats + R"(),[01]\.\d{3},,|parameter,)" +
                           kIsoTime + R"(,{23},\d+,-?\d+)\n)+)")},
        {"influx", std::regex(R"(((plovex,type=interval,port=[^ ]+ count=(0i,interval_s=\d\.\d{3}|[1-9]\d*i,interval_s=\d\.\d{3},x_deg_mean=-?\d+\.\d+,.*temp_c_max=\d+\.\d+),link_up=[01]\.\d{3} \d{19}|plovex,type=parameter,.*)\n)+)")},
        {"text", std::regex("((" + kTimeOfDay + R"(  (\d\.\d{3} s  (no measurement|[1-9]\d* measurements  X .*°C)  link up \d+\.\d %|parameter .*))\n)+)")},
    };
    std::vector<std::unique_ptr<CliProcess>> runs;
    for (const auto& [format, _] : formats)
        runs.push_back(std::make_unique<CliProcess>(std::vector<std::string>{
            "monitor", "--simulate", "--format", format, "--units", "mrad", "--average", "1", "--seconds", "3.5"}));
    for (std::size_t i = 0; i < runs.size(); ++i) {
        const auto r = runs[i]->finish();
        EXPECT_EQ(r.exitCode, 0) << r.err;
        EXPECT_TRUE(std::regex_match(r.out, formats[i].second)) << formats[i].first << "\n" << r.out;
        // A whole second of measurements, aligned to the second.
        EXPECT_TRUE(std::regex_search(r.out, std::regex(R"(\.000[+-]\d\d:\d\d,1\.000,[1-9]|count=[1-9]\d*i,interval_s=1\.000.* \d{10}000000000|\.000  1\.000 s  [1-9])")))
            << formats[i].first << "\n" << r.out;
    }
}
