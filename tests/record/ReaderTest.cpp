// Reading recordings and averaged logs back: the project's own files, and
// files that are not (each gets its line and what is wrong).

#include "link/Measurement.h"
#include "link/Records.h"
#include "record/RecordingReader.h"
#include "record/RecordingWriter.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace plovex;
using namespace plovex::record;

namespace {

const std::string kRawKeys = "xGravityRaw,xGravityKal,xRaw,xKal,yGravityRaw,yGravityKal,yRaw,yKal,temp";
const std::string kRecordingHeader = "time,elapsed_s,x_deg,y_deg,temp_c," + kRawKeys + ",packetCount,link\n";
const std::string kAveragedHeader =
    "time,interval_s,count,x_deg_mean,x_deg_sd,x_deg_min,x_deg_max,y_deg_mean,y_deg_sd,y_deg_min,y_deg_max,"
    "x_mrad_mean,x_mrad_sd,x_mrad_min,x_mrad_max,y_mrad_mean,y_mrad_sd,y_mrad_min,y_mrad_max,"
    "temp_c_mean,temp_c_sd,temp_c_min,temp_c_max,link_up\n";
const std::string kRecordingRow = "2026-12-07T05:00:00.005-03:30,0.005,1.5000,-2.2500,23.5,0,0,0,273,0,0,0,-410,235,7,up\n";

// 2026-12-07 08:30:00 UTC.
const WallClock::time_point kReadT0 = WallClock::from_time_t(1796632200);

struct ReadBack {
    std::vector<ReviewRow> rows;
    std::string error; // the first
    bool truncated = false;
    RecordingKind kind{};
    board::TiltUnit unit{};
};

ReadBack readAll(const std::string& content)
{
    testsupport::TempDir dir;
    testsupport::writeFile(dir / "f.csv", content);
    ReadBack got;
    auto reader = RecordingReader::open((dir / "f.csv").string(), &got.error);
    if (!reader)
        return got;
    got.kind = reader->kind();
    got.unit = reader->unit();
    ReviewRow row;
    for (;;) {
        std::string error;
        const auto next = reader->next(row, &error);
        if (next == RecordingReader::Next::End)
            break;
        if (next == RecordingReader::Next::Bad) {
            if (got.error.empty())
                got.error = error;
            continue;
        }
        got.rows.push_back(row);
    }
    got.truncated = reader->truncatedTail();
    return got;
}

} // namespace

TEST(RecordingReader, ReadsBackWhatTheRecordingWriterWroteInEveryUnit)
{
    for (const board::TiltUnit unit : board::kTiltUnits) {
        testsupport::TempDir dir;
        {
            RecordingWriter w((dir / "r.csv").string(), unit);
            const auto row = [](const platform::RecordPtr& r, int ms) {
                return MeasurementRow{*measurementOf(*r), ms / 1000.0, std::nullopt};
            };
            const auto at = [](int ms) { return kReadT0 + std::chrono::milliseconds(ms); };
            ASSERT_TRUE(w.push(row(records::measurementRecord({0, 0, 0, 8192, 0, 0, 0, -16383, -5}, 1, at(5)), 5)));
            ASSERT_TRUE(w.push(row(records::linkDownRecord(2, at(1250)), 1250)));
            ASSERT_TRUE(w.push(row(records::measurementRecord({0, 0, 0, 1, 0, 0, 0, 0, 235}, 3, at(2999)), 2999)));
        }
        const ReadBack got = readAll(testsupport::readFile(dir / "r.csv"));
        ASSERT_EQ(got.error, "");
        EXPECT_EQ(got.kind, RecordingKind::Measurements);
        EXPECT_EQ(got.unit, unit);
        ASSERT_EQ(got.rows.size(), 3u);
        EXPECT_EQ(got.rows[0].time, kReadT0 + std::chrono::milliseconds(5));
        EXPECT_EQ(got.rows[0].line, 2u);
        EXPECT_DOUBLE_EQ(got.rows[0].x.mean, 45.0027); // as written: four decimals
        EXPECT_DOUBLE_EQ(got.rows[0].y.max, -90.0);
        EXPECT_DOUBLE_EQ(got.rows[0].temperature.min, -0.5);
        EXPECT_TRUE(got.rows[1].gap);
        EXPECT_EQ(got.rows[1].count, 0u);
        EXPECT_FALSE(got.rows[2].gap);
        EXPECT_DOUBLE_EQ(got.rows[2].x.mean, 0.0055);
        EXPECT_EQ(got.rows[2].time, kReadT0 + std::chrono::milliseconds(2999));
    }
}

TEST(RecordingReader, ReadsAveragedLogsWithEmptyIntervalsAndPassesOverUnknownColumns)
{
    const ReadBack avg = readAll(kAveragedHeader +
                                 "2026-12-07T09:30:00.000+01:00,1.000,144,1.00005,0.00100,0.99800,1.00200,-2.00000,0.00000,"
                                 "-2.00000,-2.00000,17.4542,0.0175,17.4185,17.4890,-34.9066,0.0000,-34.9066,-34.9066,"
                                 "23.45,0.05,23.40,23.50,1.000\n"
                                 "2026-12-07T09:30:01.000+01:00,1.000,0,,,,,,,,,,,,,,,,,,,,,0.000\n");
    ASSERT_EQ(avg.error, "");
    EXPECT_EQ(avg.kind, RecordingKind::Averaged);
    EXPECT_EQ(avg.unit, board::TiltUnit::Milliradians);
    ASSERT_EQ(avg.rows.size(), 2u);
    EXPECT_EQ(avg.rows[0].time, kReadT0 + std::chrono::hours(0));
    EXPECT_EQ(avg.rows[0].count, 144u);
    EXPECT_DOUBLE_EQ(avg.rows[0].intervalSeconds, 1.0);
    EXPECT_DOUBLE_EQ(avg.rows[0].x.mean, 1.00005);
    EXPECT_DOUBLE_EQ(avg.rows[0].x.sd, 0.001);
    EXPECT_DOUBLE_EQ(avg.rows[0].x.min, 0.998);
    EXPECT_DOUBLE_EQ(avg.rows[0].y.max, -2.0);
    EXPECT_DOUBLE_EQ(avg.rows[0].temperature.mean, 23.45);
    EXPECT_TRUE(avg.rows[1].gap);
    EXPECT_DOUBLE_EQ(avg.rows[1].linkUp, 0.0);

    // An alarms column added at the end, quoted with a comma inside, and a
    // file written on another system (CRLF).
    const ReadBack extra = readAll("time,elapsed_s,x_deg,y_deg,temp_c," + kRawKeys + ",packetCount,link,alarms\r\n" +
                                   "2026-12-07T08:30:00.000Z,0.000,1.5000,-2.2500,23.5,0,0,0,273,0,0,0,-410,235,7,up,"
                                   "\"x>1,y<-2\"\r\n");
    ASSERT_EQ(extra.error, "");
    ASSERT_EQ(extra.rows.size(), 1u);
    EXPECT_EQ(extra.rows[0].time, kReadT0);
    EXPECT_DOUBLE_EQ(extra.rows[0].y.mean, -2.25);
}

TEST(RecordingReader, NamesTheLineAndWhatIsWrongInFilesItCannotRead)
{
    const std::string averagedRow = "2026-12-07T09:30:00.000+01:00,1.000,144,1,0,1,1,2,0,2,2,3,0,3,3,4,0,4,4,23,0,23,23,1\n";
    struct Case {
        std::string content, error;
    } cases[] = {
        {"", "the file is empty"},
        {"time;elapsed_s;x_deg\n", "line 1: not a plovex recording or averaged log: its header begins 'time;elapsed_s;x_deg'"},
        {"type,xGravityRaw,xGravityKal,xRaw,xKal,yGravityRaw,yGravityKal,yRaw,yKal,temp,packetCount,commState\n",
         "line 1: not a plovex recording or averaged log: its header begins 'type,xGravityRaw,xGravityKal,xRaw,xKal,y...'"},
        {"time,elapsed_s,x_deg,y_deg,temp_c\n", "line 1: the header has no column link"},
        {kRecordingHeader + kRecordingRow + "yesterday,0.1,1,2,3,0,0,0,273,0,0,0,-410,235,7,up\n",
         "line 3: time 'yesterday' is not a time such as 2026-12-07T14:03:22.123+01:00"},
        {kRecordingHeader + "2026-02-29T05:00:00.005-03:30,0.005,1,2,3,0,0,0,273,0,0,0,-410,235,7,up\n",
         "line 2: time '2026-02-29T05:00:00.005-03:30' is not a time such as 2026-12-07T14:03:22.123+01:00"},
        {kRecordingHeader + "2026-12-07T05:00:00.005-03:30,0.005,1.5000,abc,23.5,0,0,0,273,0,0,0,-410,235,7,up\n",
         "line 2: y_deg 'abc' is not a number"},
        {kRecordingHeader + "2026-12-07T05:00:00.005-03:30,0.005,,,,,,,,,,,,,7,up\n", "line 2: x_deg '' is not a number"},
        {kRecordingHeader + "2026-12-07T05:00:00.005-03:30,0.005,1.5000,-2.2500,23.5,0,0,0,273,0,0,0,-410,235,7,UP\n",
         "line 2: link 'UP' is neither up nor down"},
        {kRecordingHeader + "2026-12-07T05:00:00.005-03:30,0.005,1.5000,-2.2500\n", "line 2: 4 cells where 16 are needed"},
        {kAveragedHeader + averagedRow + "2026-12-07T09:30:01.000+01:00,1.000,many,,,,,,,,,,,,,,,,,,,,,0\n",
         "line 3: count 'many' is not a whole number"},
        {kAveragedHeader + "2026-12-07T09:30:00.000+01:00,0,144,1,0,1,1,2,0,2,2,3,0,3,3,4,0,4,4,23,0,23,23,1\n",
         "line 2: interval_s '0' is not above 0"},
        {kAveragedHeader + "2026-12-07T09:30:00.000+01:00,1.000,144,1,0,1,1,2,0,2,2,3,0,3,3,4,0,4,4,23,0,,23,1\n",
         "line 2: temp_c_min '' is not a number"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.content);
        EXPECT_EQ(readAll(c.content).error, c.error);
    }
}

TEST(RecordingReader, CountsLinesAcrossItsBufferAndLeavesOutOnlyALastRowCutShort)
{
    // 20000 rows are more than one buffer; a bad row far into the file is named by its line.
    std::string file = kRecordingHeader;
    for (int i = 0; i < 20000; ++i)
        file += i == 15000 ? "2026-12-07T05:00:00.005-03:30,0.005,1.5000,-2.2500,23.5,0,0,0,273,0,0,0,-410,235,7,on\n"
                           : kRecordingRow;
    const ReadBack got = readAll(file);
    EXPECT_EQ(got.error, "line 15002: link 'on' is neither up nor down");
    EXPECT_EQ(got.rows.size(), 19999u);
    EXPECT_EQ(got.rows.back().line, 20001u);

    // A row cut short at the end (the file is still being written) is left
    // out and said so; one that is whole but lacks its newline is kept.
    const ReadBack cut = readAll(kRecordingHeader + kRecordingRow + kRecordingRow.substr(0, 40));
    EXPECT_EQ(cut.error, "");
    EXPECT_EQ(cut.rows.size(), 1u);
    EXPECT_TRUE(cut.truncated);
    const ReadBack whole = readAll(kRecordingHeader + kRecordingRow + kRecordingRow.substr(0, kRecordingRow.size() - 1));
    EXPECT_EQ(whole.rows.size(), 2u);
    EXPECT_FALSE(whole.truncated);
}

TEST(RecordingReader, GoesBackToARowByItsOffsetAndLine)
{
    testsupport::TempDir dir;
    std::string file = kRecordingHeader;
    for (int i = 0; i < 30000; ++i)
        file += "2026-12-07T05:00:" + std::to_string(10 + i / 1000) + "." + std::to_string(100 + i % 900) +
                "-03:30,0.0," + std::to_string(i) + ",0,23.5,0,0,0,0,0,0,0,0,235,7,up\n";
    testsupport::writeFile(dir / "f.csv", file);
    std::string error;
    auto reader = RecordingReader::open((dir / "f.csv").string(), &error);
    ASSERT_TRUE(reader) << error;
    ReviewRow row, marked;
    while (reader->next(row, &error) == RecordingReader::Next::Row)
        if (row.x.mean == 21234)
            marked = row;
    EXPECT_EQ(reader->position(), file.size());
    ASSERT_TRUE(reader->seek(marked.offset, marked.line, &error));
    ASSERT_EQ(reader->next(row, &error), RecordingReader::Next::Row);
    EXPECT_EQ(row.x.mean, 21234);
    EXPECT_EQ(row.line, marked.line);
    EXPECT_EQ(row.time, marked.time);
}

TEST(LocalTime, ParsesWhatItWritesAndRefusesWhatIsNoTime)
{
    testsupport::ScopedEnv tz("TZ", "XST+03:30");
    ::tzset();
    for (const auto t : {kReadT0, kReadT0 + std::chrono::milliseconds(999), WallClock::from_time_t(0) - std::chrono::milliseconds(1)})
        EXPECT_EQ(parseIsoTime(isoLocalTime(t)), t) << isoLocalTime(t);
    EXPECT_EQ(parseIsoTime("2026-12-07T08:30:00Z"), kReadT0);
    EXPECT_EQ(parseIsoTime("2026-12-07T10:00:00.5+0130"), kReadT0 + std::chrono::milliseconds(500));
    EXPECT_EQ(parseIsoTime("2024-02-29T00:00:00Z"), WallClock::from_time_t(1709164800));
    for (const char* bad : {"2026-12-07 08:30:00Z", "2026-13-07T08:30:00Z", "2026-12-07T08:30:00", "2026-12-07T08:30:00.Z",
                            "2026-12-07T24:00:00Z", "2026-12-07T08:30:00+01", "2026-12-07T08:30:00+01:00x", "", "12:00"})
        EXPECT_FALSE(parseIsoTime(bad)) << bad;
}
