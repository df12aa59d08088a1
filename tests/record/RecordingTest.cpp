// A recording's file: the exact rows, and what stays when writing fails.

#include "link/Measurement.h"
#include "link/Records.h"
#include "record/RecordingWriter.h"
#include "tests/support/TestSupport.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

using namespace plovex;

namespace {

// 2026-12-07 08:30:00 UTC plus ms.
platform::RecordTime at(int ms)
{
    return platform::RecordClock::from_time_t(1796632200) + std::chrono::milliseconds(ms);
}

// The row of a record, in a recording begun at(0).
record::MeasurementRow row(const platform::RecordPtr& r)
{
    const Measurement m = *measurementOf(*r);
    return {m, std::chrono::duration<double>(m.time - at(0)).count()};
}

} // namespace

TEST(Recording, WritesTheExactRowsInLocalTimeWithLinkDownRowsEmpty)
{
    testsupport::ScopedEnv tz("TZ", "XST+03:30"); // 3:30 west of UTC
    ::tzset();
    const std::string raw = "xGravityRaw,xGravityKal,xRaw,xKal,yGravityRaw,yGravityKal,yRaw,yKal,temp";
    const std::pair<board::TiltUnit, std::string> cases[] = {
        {board::TiltUnit::Degrees, "time,elapsed_s,x_deg,y_deg,temp_c," + raw + ",packetCount,link\n"
                                   "2026-12-07T05:00:00.005-03:30,0.005,-45.0027,90.0000,-0.5,-1,-2,-3,-8192,4,5,6,16383,-5,7,up\n"
                                   "2026-12-07T05:00:01.250-03:30,1.250,,,,,,,,,,,,,8,down\n"
                                   "2026-12-07T05:00:02.999-03:30,2.999,0.0055,-0.0055,23.5,0,0,0,1,0,0,0,-1,235,9,up\n"},
        {board::TiltUnit::MmPerM, "time,elapsed_s,x_deg,y_deg,x_mm_per_m,y_mm_per_m,temp_c," + raw + ",packetCount,link\n"
                                  "2026-12-07T05:00:00.005-03:30,0.005,-45.0027,90.0000,-1000.096,,-0.5,-1,-2,-3,-8192,4,5,6,16383,-5,7,up\n"
                                  "2026-12-07T05:00:01.250-03:30,1.250,,,,,,,,,,,,,,,8,down\n"
                                  "2026-12-07T05:00:02.999-03:30,2.999,0.0055,-0.0055,0.096,-0.096,23.5,0,0,0,1,0,0,0,-1,235,9,up\n"},
    };
    for (const auto& [unit, file] : cases) {
        testsupport::TempDir dir;
        {
            record::RecordingWriter w((dir / "r.csv").string(), unit);
            ASSERT_TRUE(w.push(row(records::measurementRecord({-1, -2, -3, -8192, 4, 5, 6, 16383, -5}, 7, at(5)))));
            ASSERT_TRUE(w.push(row(records::linkDownRecord(8, at(1250)))));
            ASSERT_TRUE(w.push(row(records::measurementRecord({0, 0, 0, 1, 0, 0, 0, -1, 235}, 9, at(2999)))));
            ASSERT_TRUE(testsupport::waitFor([&] { return w.status().rowsWritten == 3; })); // on disk while still open
            EXPECT_EQ(testsupport::readFile(dir / "r.csv"), file);
        }
        EXPECT_EQ(testsupport::readFile(dir / "r.csv"), file);
    }
}

TEST(Recording, AFailedWriteStopsWithTheReasonAndKeepsTheRowsWritten)
{
    testsupport::TempDir dir;
    const int fd = ::open((dir / "r.csv").c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
    ASSERT_GE(fd, 0);
    const auto rec = row(records::measurementRecord({1, 2, 3, 4, 5, 6, 7, 8, 9}, 1, at(1)));
    std::string written;
    {
        record::RecordingWriter w(platform::UniqueFd(fd), "r.csv", board::TiltUnit::Degrees);
        ASSERT_TRUE(w.push(rec) && w.push(rec));
        ASSERT_TRUE(testsupport::waitFor([&] { return w.status().rowsWritten == 2; }));
        written = testsupport::readFile(dir / "r.csv");
        // The disk fills: the writer's descriptor now leads to a full device.
        const int full = ::open("/dev/full", O_WRONLY | O_CLOEXEC);
        ASSERT_EQ(::dup2(full, fd), fd);
        ::close(full);
        w.push(rec);
        ASSERT_TRUE(testsupport::waitFor([&] { return w.status().finished; }));
        EXPECT_EQ(w.status().error, "cannot write r.csv: No space left on device; recording stopped");
        EXPECT_EQ(w.status().rowsWritten, 2u);
        EXPECT_FALSE(w.push(rec));
    }
    EXPECT_EQ(std::count(written.begin(), written.end(), '\n'), 3);
    EXPECT_EQ(testsupport::readFile(dir / "r.csv"), written);
}
