// A recording's file: the exact rows, and what stays when writing fails.

#include "link/Records.h"
#include "record/RecordingWriter.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

using namespace plovex;
using testsupport::readFile;
using Clock = record::WallClock;

namespace {

// 2026-12-07 08:30:00.000 UTC, and a record the given milliseconds later.
record::MeasurementRow row(const platform::RecordPtr& r, int ms)
{
    const Clock::time_point t = Clock::from_time_t(1796632200) + std::chrono::milliseconds(ms);
    return record::measurementRow(*r, t, ms / 1000.0);
}

bool waitUntil(const record::RecordingWriter& w, const std::function<bool(const record::RecordingStatus&)>& done)
{
    return testsupport::waitFor([&] { return done(w.status()); }, std::chrono::seconds(5));
}

} // namespace

TEST(Recording, WritesTheExactRowsInLocalTimeWithLinkDownRowsEmpty)
{
    testsupport::ScopedEnv tz("TZ", "XST+03:30"); // 3:30 west of UTC
    ::tzset();
    const std::vector<platform::RecordPtr> records = {
        records::measurementRecord({-1, -2, -3, -8192, 4, 5, 6, 16383, -5}, 7),
        records::linkDownRecord(8),
        records::measurementRecord({0, 0, 0, 1, 0, 0, 0, -1, 235}, 9),
    };
    const std::string raw = "xGravityRaw,xGravityKal,xRaw,xKal,yGravityRaw,yGravityKal,yRaw,yKal,temp";
    const struct {
        board::TiltUnit unit;
        std::string file;
    } cases[] = {
        {board::TiltUnit::Degrees,
         "time,elapsed_s,x_deg,y_deg,temp_c," + raw + ",packetCount,link\n"
         "2026-12-07T05:00:00.005-03:30,0.005,-45.0027,90.0000,-0.5,-1,-2,-3,-8192,4,5,6,16383,-5,7,up\n"
         "2026-12-07T05:00:01.250-03:30,1.250,,,,,,,,,,,,,8,down\n"
         "2026-12-07T05:00:02.999-03:30,2.999,0.0055,-0.0055,23.5,0,0,0,1,0,0,0,-1,235,9,up\n"},
        {board::TiltUnit::MmPerM,
         "time,elapsed_s,x_deg,y_deg,x_mm_per_m,y_mm_per_m,temp_c," + raw + ",packetCount,link\n"
         "2026-12-07T05:00:00.005-03:30,0.005,-45.0027,90.0000,-1000.096,,-0.5,-1,-2,-3,-8192,4,5,6,16383,-5,7,up\n"
         "2026-12-07T05:00:01.250-03:30,1.250,,,,,,,,,,,,,,,8,down\n"
         "2026-12-07T05:00:02.999-03:30,2.999,0.0055,-0.0055,0.096,-0.096,23.5,0,0,0,1,0,0,0,-1,235,9,up\n"},
    };
    for (const auto& c : cases) {
        testsupport::TempDir dir;
        {
            record::RecordingWriter w((dir / "r.csv").string(), c.unit);
            const int ms[] = {5, 1250, 2999};
            for (std::size_t i = 0; i < records.size(); ++i)
                ASSERT_TRUE(w.push(row(records[i], ms[i])));
            // Rows reach the file while it is still open.
            ASSERT_TRUE(waitUntil(w, [](const auto& s) { return s.rowsWritten == 3; }));
            EXPECT_EQ(readFile(dir / "r.csv"), c.file);
        }
        EXPECT_EQ(readFile(dir / "r.csv"), c.file);
    }
    ::unsetenv("TZ");
    ::tzset();
}

TEST(Recording, AFailedWriteStopsWithTheReasonAndKeepsTheRowsWritten)
{
    testsupport::TempDir dir;
    const auto path = dir / "r.csv";
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    ASSERT_GE(fd, 0);
    const auto rec = records::measurementRecord({1, 2, 3, 4, 5, 6, 7, 8, 9}, 1);
    std::string whole;
    {
        record::RecordingWriter w(platform::UniqueFd(fd), "r.csv", board::TiltUnit::Degrees);
        ASSERT_TRUE(w.push(row(rec, 1)) && w.push(row(rec, 2)));
        ASSERT_TRUE(waitUntil(w, [](const auto& s) { return s.rowsWritten == 2; }));
        whole = readFile(path);
        // The disk fills: the writer's descriptor now leads to a full device.
        const int full = ::open("/dev/full", O_WRONLY | O_CLOEXEC);
        ASSERT_GE(full, 0);
        ASSERT_EQ(::dup2(full, fd), fd);
        ::close(full);
        w.push(row(rec, 3));
        ASSERT_TRUE(waitUntil(w, [](const auto& s) { return s.finished; }));
        EXPECT_EQ(w.status().error, "cannot write r.csv: No space left on device; recording stopped");
        EXPECT_EQ(w.status().rowsWritten, 2u);
        EXPECT_FALSE(w.push(row(rec, 4)));
    }
    EXPECT_EQ(std::count(whole.begin(), whole.end(), '\n'), 3);
    EXPECT_EQ(readFile(path), whole);

    record::RecordingWriter missing((dir / "no" / "r.csv").string(), board::TiltUnit::Degrees);
    ASSERT_TRUE(waitUntil(missing, [](const auto& s) { return s.finished; }));
    EXPECT_EQ(missing.status().error, "cannot create " + (dir / "no" / "r.csv").string() + ": No such file or directory");
}
