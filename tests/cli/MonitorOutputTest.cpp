// plovex-cli monitor's outputs on standard output, fed the readings of a
// link that goes down and comes back: each line carries the time the
// reading was made and its link state, and what a link-down cycle only
// fills in is never stored as a reading.

#include "cli/MonitorOutput.h"
#include "link/Records.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

using namespace plovex;

namespace {

// 2026-12-07 08:30:00 UTC plus ms.
platform::RecordTime at(int ms)
{
    return platform::RecordClock::from_time_t(1796632200) + std::chrono::milliseconds(ms);
}

// What each format prints for: a measurement; a link-down cycle (its
// measurement and parameter record); a parameter read from the board.
std::string printed(cli::OutputFormat format)
{
    cli::MonitorSetup setup;
    setup.format = format;
    setup.fields = record::monitorOrder(record::derivedFields(board::TiltUnit::Percent));
    setup.fleet.tags = {{"site", "north"}};
    setup.portName = "ttyUSB0";
    testsupport::CaptureStdout out;
    auto outputs = cli::makeMonitorOutputs(setup);
    EXPECT_EQ(outputs.size(), 1u);
    for (const auto& o : outputs)
        o->begin();
    RecordReader reader;
    for (const auto& r : {records::measurementRecord({-1, -2, -3, -8192, 4, 5, 6, 16383, -5}, 7, at(5)),
                          records::linkDownRecord(8, at(1250)), records::parameterRecord(3, 4, at(1250)),
                          records::parameterRecord(1, 1000, at(2999))}) {
        for (const auto& o : outputs) {
            if (const auto m = reader.measurement(*r))
                o->measurement(*m);
            else if (const auto p = reader.parameter(*r))
                o->parameter(*p);
        }
    }
    for (const auto& o : outputs)
        EXPECT_EQ(o->finish(), 0);
    return out.finish();
}

} // namespace

TEST(MonitorOutputs, EachLineCarriesTheTimeOfTheReadingAndItsLinkState)
{
    testsupport::ScopedEnv tz("TZ", "XST+03:30"); // 3:30 west of UTC
    ::tzset();
    const std::pair<cli::OutputFormat, std::string> cases[] = {
        {cli::OutputFormat::Text, "05:00:00.005  X   -45.00°  Y    90.00°     -0.5°C  Comms OK  packet 7\n"
                                  "05:00:01.250  link down  NO Comms  packet 8\n"
                                  "05:00:01.250  parameter 3  link down\n"
                                  "05:00:02.999  parameter  1  Sx Primary Gain            1000\n"},
        {cli::OutputFormat::Csv,
         "type,xGravityRaw,xGravityKal,xRaw,xKal,yGravityRaw,yGravityKal,yRaw,yKal,temp,packetCount,commState,paddress,pdata,"
         "time,x_deg,y_deg,temp_c,x_percent,y_percent,link\n"
         "measurement,-1,-2,-3,-8192,4,5,6,16383,-5,7,1,,,2026-12-07T05:00:00.005-03:30,-45.0027,90.0000,-0.5,-100.0096,,up\n"
         "measurement,0,1,2,3,4,5,6,7,8,8,0,,,2026-12-07T05:00:01.250-03:30,,,,,,down\n"
         "parameter,,,,,,,,,,,,3,4,2026-12-07T05:00:01.250-03:30,,,,,,down\n"
         "parameter,,,,,,,,,,,,1,1000,2026-12-07T05:00:02.999-03:30,,,,,,up\n"},
        {cli::OutputFormat::Jsonl,
         R"({"type":"measurement","xGravityRaw":-1,"xGravityKal":-2,"xRaw":-3,"xKal":-8192,"yGravityRaw":4,"yGravityKal":5,"yRaw":6,"yKal":16383,"temp":-5,"packetCount":7,"commState":1,"time":"2026-12-07T05:00:00.005-03:30","x_deg":-45.0027,"y_deg":90.0000,"temp_c":-0.5,"x_percent":-100.0096,"y_percent":null,"link":"up"})" "\n"
         R"({"type":"measurement","xGravityRaw":0,"xGravityKal":1,"xRaw":2,"xKal":3,"yGravityRaw":4,"yGravityKal":5,"yRaw":6,"yKal":7,"temp":8,"packetCount":8,"commState":0,"time":"2026-12-07T05:00:01.250-03:30","x_deg":null,"y_deg":null,"temp_c":null,"x_percent":null,"y_percent":null,"link":"down"})" "\n"
         R"({"type":"parameter","paddress":3,"pdata":4,"time":"2026-12-07T05:00:01.250-03:30","link":"down"})" "\n"
         R"({"type":"parameter","paddress":1,"pdata":1000,"time":"2026-12-07T05:00:02.999-03:30","link":"up"})" "\n"},
        // A link-down cycle keeps its count and state, and no placeholder value.
        {cli::OutputFormat::Influx,
         "plovex,type=measurement,port=ttyUSB0,site=north xGravityRaw=-1i,xGravityKal=-2i,xRaw=-3i,xKal=-8192i,yGravityRaw=4i,yGravityKal=5i,yRaw=6i,yKal=16383i,temp=-5i,packetCount=7i,commState=1i,x_deg=-45.0027,y_deg=90.0000,temp_c=-0.5,x_percent=-100.0096 1796632200005000000\n"
         "plovex,type=measurement,port=ttyUSB0,site=north packetCount=8i,commState=0i 1796632201250000000\n"
         "plovex,type=parameter,port=ttyUSB0,site=north paddress=3i 1796632201250000000\n"
         "plovex,type=parameter,port=ttyUSB0,site=north paddress=1i,pdata=1000i 1796632202999000000\n"},
    };
    for (const auto& [format, lines] : cases)
        EXPECT_EQ(printed(format), lines);
}
