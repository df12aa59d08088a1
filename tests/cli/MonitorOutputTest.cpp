// plovex-cli monitor's outputs on standard output, fed the readings of a
// link that goes down and comes back: each line carries the time the
// reading was made and its link state, and what a link-down cycle only
// fills in is never stored as a reading.

#include "cli/MonitorOutput.h"
#include "link/Records.h"
#include "record/MeasurementAverager.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <functional>

using namespace plovex;

namespace {

// 2026-12-07 08:30:00 UTC plus ms.
platform::RecordTime at(int ms)
{
    return platform::RecordClock::from_time_t(1796632200) + std::chrono::milliseconds(ms);
}

// What a format prints, 3:30 west of UTC, for what feed gives it.
std::string printed(cli::OutputFormat format, const std::function<void(cli::MonitorOutput&)>& feed,
                    std::optional<std::chrono::milliseconds> average = std::nullopt)
{
    testsupport::ScopedEnv tz("TZ", "XST+03:30");
    ::tzset();
    cli::MonitorSetup setup;
    setup.format = format;
    setup.unit = board::TiltUnit::Percent;
    setup.fields = record::monitorOrder(record::derivedFields(setup.unit));
    setup.fleet.tags = {{"site", "north"}};
    setup.portName = "ttyUSB0";
    setup.average = average;
    testsupport::CaptureStdout out;
    auto outputs = cli::makeMonitorOutputs(setup);
    EXPECT_EQ(outputs.size(), 1u);
    outputs.front()->begin();
    feed(*outputs.front());
    EXPECT_EQ(outputs.front()->finish(), 0);
    return out.finish();
}

} // namespace

TEST(MonitorOutputs, EachLineCarriesTheTimeOfTheReadingAndItsLinkState)
{
    const std::pair<cli::OutputFormat, std::string> cases[] = {
        {cli::OutputFormat::Text, "05:00:00.005  X   -45.00°  Y    90.00°     -0.5°C  Comms OK  packet 7\n"
                                  "05:00:01.250  link down  NO Comms  packet 8\n"
                                  "05:00:01.250  parameter 3  link down\n"
                                  "05:00:02.999  parameter  1  Sx Primary Gain            1000\n"},
        {cli::OutputFormat::Csv,
         "type,xGravityRaw,xGravityKal,xRaw,xKal,yGravityRaw,yGravityKal,yRaw,yKal,temp,packetCount,commState,paddress,pdata,"
         "time,x_deg,y_deg,temp_c,tilt_deg,x_percent,y_percent,tilt_percent,link\n"
         "measurement,-1,-2,-3,-8192,4,5,6,16383,-5,7,1,,,2026-12-07T05:00:00.005-03:30,-45.0027,90.0000,-0.5,90.0000,-100.0096,,,up\n"
         "measurement,0,1,2,3,4,5,6,7,8,8,0,,,2026-12-07T05:00:01.250-03:30,,,,,,,,down\n"
         "parameter,,,,,,,,,,,,3,4,2026-12-07T05:00:01.250-03:30,,,,,,,,down\n"
         "parameter,,,,,,,,,,,,1,1000,2026-12-07T05:00:02.999-03:30,,,,,,,,up\n"},
        {cli::OutputFormat::Jsonl,
         R"({"type":"measurement","xGravityRaw":-1,"xGravityKal":-2,"xRaw":-3,"xKal":-8192,"yGravityRaw":4,"yGravityKal":5,"yRaw":6,"yKal":16383,"temp":-5,"packetCount":7,"commState":1,"time":"2026-12-07T05:00:00.005-03:30","x_deg":-45.0027,"y_deg":90.0000,"temp_c":-0.5,"tilt_deg":90.0000,"x_percent":-100.0096,"y_percent":null,"tilt_percent":null,"link":"up"})" "\n"
         R"({"type":"measurement","xGravityRaw":0,"xGravityKal":1,"xRaw":2,"xKal":3,"yGravityRaw":4,"yGravityKal":5,"yRaw":6,"yKal":7,"temp":8,"packetCount":8,"commState":0,"time":"2026-12-07T05:00:01.250-03:30","x_deg":null,"y_deg":null,"temp_c":null,"tilt_deg":null,"x_percent":null,"y_percent":null,"tilt_percent":null,"link":"down"})" "\n"
         R"({"type":"parameter","paddress":3,"pdata":4,"time":"2026-12-07T05:00:01.250-03:30","link":"down"})" "\n"
         R"({"type":"parameter","paddress":1,"pdata":1000,"time":"2026-12-07T05:00:02.999-03:30","link":"up"})" "\n"},
        // A link-down cycle keeps its count and state, and no placeholder value.
        {cli::OutputFormat::Influx,
         "plovex,type=measurement,port=ttyUSB0,site=north xGravityRaw=-1i,xGravityKal=-2i,xRaw=-3i,xKal=-8192i,yGravityRaw=4i,yGravityKal=5i,yRaw=6i,yKal=16383i,temp=-5i,packetCount=7i,commState=1i,x_deg=-45.0027,y_deg=90.0000,temp_c=-0.5,tilt_deg=90.0000,x_percent=-100.0096 1796632200005000000\n"
         "plovex,type=measurement,port=ttyUSB0,site=north packetCount=8i,commState=0i 1796632201250000000\n"
         "plovex,type=parameter,port=ttyUSB0,site=north paddress=3i 1796632201250000000\n"
         "plovex,type=parameter,port=ttyUSB0,site=north paddress=1i,pdata=1000i 1796632202999000000\n"},
    };
    // A measurement; a link-down cycle (its measurement and parameter record); a parameter read from the board.
    const auto feed = [](cli::MonitorOutput& o) {
        RecordReader reader;
        for (const auto& r : {records::measurementRecord({-1, -2, -3, -8192, 4, 5, 6, 16383, -5}, 7, at(5)),
                              records::linkDownRecord(8, at(1250)), records::parameterRecord(3, 4, at(1250)),
                              records::parameterRecord(1, 1000, at(2999))}) {
            if (const auto m = reader.measurement(*r))
                o.measurement(*m);
            else if (const auto p = reader.parameter(*r))
                o.parameter(*p);
        }
    };
    for (const auto& [format, lines] : cases)
        EXPECT_EQ(printed(format, feed), lines);
}

TEST(MonitorOutputs, WithAverageEachFormatGivesAnIntervalInPlaceOfItsMeasurements)
{
    // Two measurements in the first second (the link up from the first, at
    // 0.1 s); the link down from 1.3 s; the run ends at 2.5 s: a second with
    // figures, one with the link up for a while but no measurement, and the
    // half second at the end.
    std::vector<stats::IntervalSummary> intervals;
    record::MeasurementAverager averager(std::chrono::seconds(1), board::TiltUnit::Percent, at(0),
                                         [&](const stats::IntervalSummary& s) { intervals.push_back(s); });
    averager.add(*measurementOf(*records::measurementRecord({0, 0, 0, 1000, 0, 0, 0, -2000, 235}, 1, at(100))));
    averager.add(*measurementOf(*records::measurementRecord({0, 0, 0, 1100, 0, 0, 0, -2000, 236}, 2, at(600))));
    averager.add(*measurementOf(*records::linkDownRecord(3, at(1300))));
    averager.finish(at(2500));
    ASSERT_EQ(intervals.size(), 3u);
    const std::pair<cli::OutputFormat, std::string> cases[] = {
        {cli::OutputFormat::Text, "05:00:00.000  1.000 s  2 measurements  X     5.77° sd 0.3884  Y   -10.99° sd 0.0000   23.55°C  link up 90.0 %\n"
                                  "05:00:01.000  1.000 s  no measurement  link up 30.0 %\n"
                                  "05:00:01.250  parameter 3  link down\n"
                                  "05:00:02.000  0.500 s  no measurement  link up 0.0 %\n"},
        {cli::OutputFormat::Csv,
         "type,time,interval_s,count,x_deg_mean,x_deg_sd,x_deg_min,x_deg_max,y_deg_mean,y_deg_sd,y_deg_min,y_deg_max,x_percent_mean,x_percent_sd,x_percent_min,x_percent_max,y_percent_mean,y_percent_sd,y_percent_min,y_percent_max,temp_c_mean,temp_c_sd,temp_c_min,temp_c_max,tilt_deg_mean,tilt_deg_sd,tilt_deg_min,tilt_deg_max,tilt_percent_mean,tilt_percent_sd,tilt_percent_min,tilt_percent_max,link_up,paddress,pdata,link\n"
         "interval,2026-12-07T05:00:00.000-03:30,1.000,2,5.76817,0.38845,5.49350,6.04285,-10.98700,0.00000,-10.98700,-10.98700,10.10175,0.68489,9.61745,10.58604,-19.41448,0.00000,-19.41448,-19.41448,23.55,0.07,23.50,23.60,12.34698,0.17281,12.22478,12.46918,21.88954,0.31607,21.66605,22.11304,0.900,,,\n"
         "interval,2026-12-07T05:00:01.000-03:30,1.000,0,,,,,,,,,,,,,,,,,,,,,,,,,,,,,0.300,,,\n"
         "parameter,2026-12-07T05:00:01.250-03:30,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,3,4,down\n"
         "interval,2026-12-07T05:00:02.000-03:30,0.500,0,,,,,,,,,,,,,,,,,,,,,,,,,,,,,0.000,,,\n"},
        {cli::OutputFormat::Jsonl,
         R"({"type":"interval","time":"2026-12-07T05:00:00.000-03:30","interval_s":1.000,"count":2,"x_deg_mean":5.76817,"x_deg_sd":0.38845,"x_deg_min":5.49350,"x_deg_max":6.04285,"y_deg_mean":-10.98700,"y_deg_sd":0.00000,"y_deg_min":-10.98700,"y_deg_max":-10.98700,"x_percent_mean":10.10175,"x_percent_sd":0.68489,"x_percent_min":9.61745,"x_percent_max":10.58604,"y_percent_mean":-19.41448,"y_percent_sd":0.00000,"y_percent_min":-19.41448,"y_percent_max":-19.41448,"temp_c_mean":23.55,"temp_c_sd":0.07,"temp_c_min":23.50,"temp_c_max":23.60,"tilt_deg_mean":12.34698,"tilt_deg_sd":0.17281,"tilt_deg_min":12.22478,"tilt_deg_max":12.46918,"tilt_percent_mean":21.88954,"tilt_percent_sd":0.31607,"tilt_percent_min":21.66605,"tilt_percent_max":22.11304,"link_up":0.900})" "\n"
         R"({"type":"interval","time":"2026-12-07T05:00:01.000-03:30","interval_s":1.000,"count":0,"x_deg_mean":null,"x_deg_sd":null,"x_deg_min":null,"x_deg_max":null,"y_deg_mean":null,"y_deg_sd":null,"y_deg_min":null,"y_deg_max":null,"x_percent_mean":null,"x_percent_sd":null,"x_percent_min":null,"x_percent_max":null,"y_percent_mean":null,"y_percent_sd":null,"y_percent_min":null,"y_percent_max":null,"temp_c_mean":null,"temp_c_sd":null,"temp_c_min":null,"temp_c_max":null,"tilt_deg_mean":null,"tilt_deg_sd":null,"tilt_deg_min":null,"tilt_deg_max":null,"tilt_percent_mean":null,"tilt_percent_sd":null,"tilt_percent_min":null,"tilt_percent_max":null,"link_up":0.300})" "\n"
         R"({"type":"parameter","paddress":3,"pdata":4,"time":"2026-12-07T05:00:01.250-03:30","link":"down"})" "\n"
         R"({"type":"interval","time":"2026-12-07T05:00:02.000-03:30","interval_s":0.500,"count":0,"x_deg_mean":null,"x_deg_sd":null,"x_deg_min":null,"x_deg_max":null,"y_deg_mean":null,"y_deg_sd":null,"y_deg_min":null,"y_deg_max":null,"x_percent_mean":null,"x_percent_sd":null,"x_percent_min":null,"x_percent_max":null,"y_percent_mean":null,"y_percent_sd":null,"y_percent_min":null,"y_percent_max":null,"temp_c_mean":null,"temp_c_sd":null,"temp_c_min":null,"temp_c_max":null,"tilt_deg_mean":null,"tilt_deg_sd":null,"tilt_deg_min":null,"tilt_deg_max":null,"tilt_percent_mean":null,"tilt_percent_sd":null,"tilt_percent_min":null,"tilt_percent_max":null,"link_up":0.000})" "\n"},
        {cli::OutputFormat::Influx,
         "plovex,type=interval,port=ttyUSB0,site=north count=2i,interval_s=1.000,x_deg_mean=5.76817,x_deg_sd=0.38845,x_deg_min=5.49350,x_deg_max=6.04285,y_deg_mean=-10.98700,y_deg_sd=0.00000,y_deg_min=-10.98700,y_deg_max=-10.98700,x_percent_mean=10.10175,x_percent_sd=0.68489,x_percent_min=9.61745,x_percent_max=10.58604,y_percent_mean=-19.41448,y_percent_sd=0.00000,y_percent_min=-19.41448,y_percent_max=-19.41448,temp_c_mean=23.55,temp_c_sd=0.07,temp_c_min=23.50,temp_c_max=23.60,tilt_deg_mean=12.34698,tilt_deg_sd=0.17281,tilt_deg_min=12.22478,tilt_deg_max=12.46918,tilt_percent_mean=21.88954,tilt_percent_sd=0.31607,tilt_percent_min=21.66605,tilt_percent_max=22.11304,link_up=0.900 1796632200000000000\n"
         "plovex,type=interval,port=ttyUSB0,site=north count=0i,interval_s=1.000,link_up=0.300 1796632201000000000\n"
         "plovex,type=parameter,port=ttyUSB0,site=north paddress=3i 1796632201250000000\n"
         "plovex,type=interval,port=ttyUSB0,site=north count=0i,interval_s=0.500,link_up=0.000 1796632202000000000\n"},
    };
    const auto feed = [&](cli::MonitorOutput& o) {
        o.interval(intervals[0]);
        o.interval(intervals[1]);
        o.parameter({at(1250), 3, 4, false});
        o.interval(intervals[2]);
    };
    for (const auto& [format, lines] : cases)
        EXPECT_EQ(printed(format, feed, std::chrono::seconds(1)), lines);
}
