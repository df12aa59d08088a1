// plovex-cli monitor against a simulated board and against a missing port.

#include "link/Records.h"
#include "tests/cli/CliProcess.h"
#include "tests/cli/CliTestUtil.h"
#include "tests/cli/FlatJson.h"
#include "tests/cli/TestBoard.h"

#include <csignal>
#include <gtest/gtest.h>
#include <regex>

using namespace clitest;
using plovex::records::measurementKeys;

namespace {

std::vector<FlatJson> parseAll(const std::string& out)
{
    std::vector<FlatJson> records;
    for (const auto& line : lines(out)) {
        const auto r = parseFlatJson(line);
        EXPECT_TRUE(r) << "not a record line: " << line;
        if (r)
            records.push_back(*r);
    }
    return records;
}

std::vector<std::string> parameterKeys()
{
    return {"paddress", "pdata"};
}

} // namespace

TEST(MonitorCommand, JsonlShowsLiveMeasurementsAndTheParameterSweepWithTheBoardsValues)
{
    TestBoard board;
    board->setEeprom(3, -123);
    const auto r = runCli({"monitor", "--port", board.path(), "--format", "jsonl", "--count", "300"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const auto records = parseAll(r.out);
    ASSERT_EQ(records.size(), 300u) << "exactly the records asked for, and nothing else on standard output";

    int32_t expectedPacket = 0;
    std::vector<int64_t> addresses;
    for (const auto& rec : records) {
        if (rec.type == "measurement") {
            EXPECT_EQ(rec.keys(), measurementKeys());
            EXPECT_EQ(rec.value("commState"), 1);
            // Opened at the start, so no link-down cycle: every frame is counted, none is lost.
            EXPECT_EQ(rec.value("packetCount"), expectedPacket++);
        } else {
            ASSERT_EQ(rec.type, "parameter");
            ASSERT_EQ(rec.keys(), parameterKeys());
            const int64_t address = *rec.value("paddress");
            ASSERT_GE(address, 0);
            ASSERT_LE(address, 15);
            EXPECT_EQ(rec.value("pdata"), board->eeprom(static_cast<int>(address))) << "parameter " << address;
            addresses.push_back(address);
        }
    }
    // The parameter read comes first, in cycle 0, and then every fifth cycle, sweeping 0..15 and round again.
    EXPECT_EQ(records.front().type, "parameter");
    ASSERT_GE(addresses.size(), 32u);
    for (std::size_t i = 0; i < addresses.size(); ++i)
        EXPECT_EQ(addresses[i], static_cast<int64_t>(i % 16)) << "parameter record " << i;
    EXPECT_GE(board->counters().pollsAnswered, static_cast<uint64_t>(expectedPacket));
}

TEST(MonitorCommand, MissingPortShowsLinkDownRecordsAboutOnceASecond)
{
    const auto r = runCli({"monitor", "--port", missingPort(), "--format", "jsonl", "--seconds", "3"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_TRUE(contains(r.err, missingPort())) << "the reason goes to standard error, naming the path: " << r.err;
    const auto records = parseAll(r.out);
    int measurements = 0, parameters = 0;
    for (const auto& rec : records) {
        if (rec.type == "measurement") {
            EXPECT_EQ(rec.keys(), measurementKeys());
            for (int k = 0; k < 8; ++k)
                EXPECT_EQ(rec.value(measurementKeys()[static_cast<std::size_t>(k)]), k);
            EXPECT_EQ(rec.value("temp"), measurements);
            EXPECT_EQ(rec.value("packetCount"), measurements);
            EXPECT_EQ(rec.value("commState"), 0);
            ++measurements;
        } else {
            ASSERT_EQ(rec.type, "parameter");
            EXPECT_EQ(rec.value("paddress"), parameters);
            EXPECT_EQ(rec.value("pdata"), parameters) << "the cycle counter";
            ++parameters;
        }
    }
    // The first comes after the loop's 1.0 s start, then one each second.
    EXPECT_GE(measurements, 2);
    EXPECT_LE(measurements, 3);
    EXPECT_EQ(parameters, measurements);
    ASSERT_GE(records.size(), 2u);
    EXPECT_EQ(records[0].type, "measurement") << "a link-down cycle hands over the measurement first";
    EXPECT_EQ(records[1].type, "parameter");
}

TEST(MonitorCommand, TextOnTheBoardShowsCommsOkAndTheDescriptionsOfTheSweep)
{
    TestBoard board;
    const auto r = runCli({"monitor", "--port", board.path(), "--count", "100"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const auto out = lines(r.out);
    ASSERT_EQ(out.size(), 100u);
    const std::regex measurement(R"(\d\d:\d\d:\d\d\.\d{3}  X +-?\d+\.\d\d°  Y +-?\d+\.\d\d°  +-?\d+\.\d°C  Comms OK  packet \d+)");
    int parameters = 0;
    for (const auto& line : out) {
        if (line.find("  parameter") == 12) {
            const std::string description = parameters == 3 ? "Rx measurement variance" : parameters == 7 ? "data selector" : "";
            if (parameters == 3 || parameters == 7 || parameters == 8) {
                EXPECT_TRUE(std::regex_match(line, std::regex(R"(\d\d:\d\d:\d\d\.\d{3}  parameter +)" + std::to_string(parameters) + "  " + description +
                                                              " +" + std::to_string(board->eeprom(parameters)))))
                    << line;
            }
            ++parameters;
        } else {
            EXPECT_TRUE(std::regex_match(line, measurement)) << line;
        }
    }
    EXPECT_GE(parameters, 9);
}

TEST(MonitorCommand, CsvHasOneHeaderAndARowPerRecordWithEmptyCellsForAbsentEntries)
{
    TestBoard board;
    const auto r = runCli({"monitor", "--port", board.path(), "--format", "csv", "--count", "12"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const auto out = lines(r.out);
    ASSERT_EQ(out.size(), 13u) << r.out;
    EXPECT_EQ(out[0], "type,xGravityRaw,xGravityKal,xRaw,xKal,yGravityRaw,yGravityKal,yRaw,yKal,temp,packetCount,commState,"
                      "paddress,pdata,time,x_deg,y_deg,temp_c");
    int measurements = 0;
    for (std::size_t i = 1; i < out.size(); ++i) {
        std::vector<std::string> cells;
        std::string cell;
        std::istringstream row(out[i] + ",");
        while (std::getline(row, cell, ','))
            cells.push_back(cell);
        ASSERT_EQ(cells.size(), 18u) << out[i];
        if (cells[0] == "measurement") {
            for (std::size_t c = 1; c <= 11; ++c)
                EXPECT_FALSE(cells[c].empty()) << out[i];
            EXPECT_EQ(cells[10], std::to_string(measurements++)) << "packetCount";
            EXPECT_EQ(cells[11], "1");
            EXPECT_EQ(cells[12], "");
            EXPECT_EQ(cells[13], "");
        } else {
            ASSERT_EQ(cells[0], "parameter") << out[i];
            for (std::size_t c = 1; c <= 11; ++c)
                EXPECT_EQ(cells[c], "") << out[i];
            const int address = std::stoi(cells[12]);
            EXPECT_EQ(cells[13], std::to_string(board->eeprom(address)));
        }
    }
    EXPECT_GE(measurements, 9);
}

TEST(MonitorCommand, RunsUntilInterruptedFlushingEachLineIntoThePipe)
{
    for (const int sig : {SIGINT, SIGTERM}) {
        CliProcess monitor({"monitor", "--port", missingPort(), "--format", "jsonl"}, {});
        // The first record comes after the loop's 1.0 s start; it must reach the pipe while the monitor runs.
        const auto first = monitor.readLine(std::chrono::seconds(5));
        ASSERT_TRUE(first) << "signal " << sig;
        EXPECT_TRUE(parseFlatJson(*first));
        monitor.signal(sig);
        const auto r = monitor.finish();
        EXPECT_FALSE(r.timedOut);
        EXPECT_EQ(r.exitCode, 0) << "signal " << sig << ": " << r.err;
    }
}

TEST(MonitorCommand, MachineReadableOutputKeepsTheLinksConsoleLinesOffStandardOutput)
{
    // /dev/null opens but refuses to be a serial line: the link prints a console line on every try.
    const auto r = runCli({"monitor", "--port", "/dev/null", "--format", "csv", "--count", "2"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const auto out = lines(r.out);
    ASSERT_EQ(out.size(), 3u) << r.out;
    EXPECT_EQ(out[1].rfind("measurement,0,1,2,3,4,5,6,7,0,0,0,,", 0), 0u) << out[1];
    EXPECT_EQ(out[2].rfind("parameter,,,,,,,,,,,,0,0,", 0), 0u) << out[2];
    EXPECT_TRUE(contains(r.err, "Error setting TIOCEXCL on /dev/null")) << r.err;
}

TEST(MonitorCommand, SimulateRunsABoardInsideTheCommand)
{
    const auto r = runCli({"monitor", "--simulate", "--format", "jsonl", "--count", "20"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const auto records = parseAll(r.out);
    ASSERT_EQ(records.size(), 20u);
    int measurements = 0;
    for (const auto& rec : records)
        if (rec.type == "measurement") {
            EXPECT_EQ(rec.value("commState"), 1);
            ++measurements;
        }
    EXPECT_GE(measurements, 15);
}
