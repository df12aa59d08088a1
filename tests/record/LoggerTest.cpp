// The unattended logger's files: averaged rows against the raw rows of the
// same run, rotation, a full disk and the way back, retention, and the repair
// of what a crash left.

#include "link/Records.h"
#include "record/LogFolder.h"
#include "record/Logger.h"
#include "tests/support/TestClock.h"
#include "tests/support/FileSizeLimit.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <fcntl.h>
#include <map>
#include <sys/resource.h>
#include <sys/stat.h>
#include <zlib.h>

using namespace plovex;
using namespace std::chrono_literals;
using record::WallClock;
using testsupport::TempDir;

namespace {

const WallClock::time_point kT0 = WallClock::from_time_t(1796632200); // 2026-12-07 08:30:00 UTC

std::vector<std::vector<std::string>> csvRows(const std::string& text)
{
    std::vector<std::vector<std::string>> rows;
    for (const auto& line : testsupport::lines(text))
        rows.push_back(testsupport::cells(line));
    return rows;
}

// "2026-12-07T05:00:00.005-03:30" as a time.
WallClock::time_point parseIso(const std::string& s)
{
    std::tm tm{};
    int ms = 0, oh = 0, om = 0;
    char sign = '+';
    std::sscanf(s.c_str(), "%d-%d-%dT%d:%d:%d.%d%c%d:%d", &tm.tm_year, &tm.tm_mon, &tm.tm_mday, &tm.tm_hour, &tm.tm_min,
                &tm.tm_sec, &ms, &sign, &oh, &om);
    tm.tm_year -= 1900;
    tm.tm_mon -= 1;
    const auto offset = std::chrono::minutes(oh * 60 + om) * (sign == '-' ? -1 : 1);
    return WallClock::from_time_t(timegm(&tm)) + std::chrono::milliseconds(ms) - offset;
}

std::string gunzip(const std::filesystem::path& p)
{
    gzFile f = gzopen(p.c_str(), "rb");
    std::string out;
    char buf[4096];
    for (int n; f && (n = gzread(f, buf, sizeof buf)) > 0;)
        out.append(buf, static_cast<std::size_t>(n));
    if (f)
        gzclose(f);
    return out;
}

std::vector<std::string> namesIn(const std::filesystem::path& dir)
{
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(dir))
        if (e.path().filename().string()[0] != '.')
            names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

struct Notes {
    std::mutex mutex;
    std::vector<std::string> lines;
    record::LogFolder::Note note()
    {
        return [this](const std::string& line) {
            std::lock_guard lock(mutex);
            lines.push_back(line);
        };
    }
};

std::unique_ptr<record::LogFolder> openFolder(const TempDir& dir, const std::string& port = "ttyUSB0")
{
    std::string error;
    auto folder = record::LogFolder::open(dir.path(), port, &error);
    EXPECT_TRUE(folder) << error;
    return folder;
}

// A row of 100 bytes, with its newline.
std::string row(int n)
{
    std::string r = "row " + std::to_string(n) + ",";
    r.resize(99, 'x');
    return r + "\n";
}

} // namespace

TEST(Logger, AveragedRowsEqualTheFiguresOfTheRawRowsOfTheSameRun)
{
    testsupport::ScopedEnv tz("TZ", "XST+03:30");
    ::tzset();
    // A record every 8 ms from 0.3 s; link-down records at 1.6 s and 2.6 s
    // with no measurement from 1.6 s to 2.9 s; silence from 3.2 s to 4.8 s.
    TempDir rawDir, avgDir;
    auto rawFolder = openFolder(rawDir), avgFolder = openFolder(avgDir);
    const auto start = kT0 + 250ms, end = kT0 + 5900ms;
    Notes notes;
    record::Logger raw(*rawFolder, {board::TiltUnit::MmPerM, std::nullopt, {}, {}, false}, start, notes.note());
    record::Logger avg(*avgFolder, {board::TiltUnit::MmPerM, 1s, {}, {}, false}, start, notes.note());
    int packet = 0;
    auto feed = [&](const platform::RecordPtr& r) {
        const auto m = measurementOf(*r);
        raw.add(*m);
        avg.add(*m);
        ++packet;
    };
    for (int ms = 300; ms < 5900; ms += 4) {
        const auto t = kT0 + std::chrono::milliseconds(ms);
        if (ms == 1600 || ms == 2600)
            feed(records::linkDownRecord(packet, t));
        if (ms % 8 != 4 || (ms >= 1600 && ms < 2900) || (ms >= 3200 && ms < 4800))
            continue;
        const auto x = static_cast<int16_t>(3000 * std::sin(ms / 700.0) + (ms * 37 % 11) - 5);
        const auto y = static_cast<int16_t>(-16000 + ms / 3);
        const auto temp = static_cast<int16_t>(231 + (ms / 90) % 4);
        feed(records::measurementRecord({0, 0, 0, x, 0, 0, 0, y, temp}, packet, t));
    }
    raw.finish(end);
    avg.finish(end);

    const auto rawRows = csvRows(testsupport::readFile(rawFolder->pathOf(rawFolder->files(record::LogFileKind::Csv).at(0))));
    const auto avgText = testsupport::readFile(avgFolder->pathOf(avgFolder->files(record::LogFileKind::Csv).at(0)));
    const auto avgRows = csvRows(avgText);
    EXPECT_EQ(avgText.substr(0, avgText.find('\n')), "time,interval_s,count,x_deg_mean,x_deg_sd,x_deg_min,x_deg_max,y_deg_mean,y_deg_sd,y_deg_min,y_deg_max,x_mm_per_m_mean,x_mm_per_m_sd,x_mm_per_m_min,x_mm_per_m_max,y_mm_per_m_mean,y_mm_per_m_sd,y_mm_per_m_min,y_mm_per_m_max,temp_c_mean,temp_c_sd,temp_c_min,temp_c_max,tilt_deg_mean,tilt_deg_sd,tilt_deg_min,tilt_deg_max,tilt_mm_per_m_mean,tilt_mm_per_m_sd,tilt_mm_per_m_min,tilt_mm_per_m_max,link_up");

    // The raw columns x_deg, y_deg, x_mm_per_m, y_mm_per_m, temp_c, tilt_deg,
    // tilt_mm_per_m, and the
    // averaged columns their statistics start at, with the rounding of both
    // (and the single precision of an angle: near 90 degrees a grade's
    // seventh digit is noise).
    const std::size_t rawColumn[] = {2, 3, 4, 5, 6, 7, 8}, avgColumn[] = {3, 7, 11, 15, 19, 23, 27};
    const double tolerance[] = {1e-4, 1e-4, 1e-3, 1e-3, 0.006, 1e-4, 1e-3};
    const double linkUp[] = {0.7 / 0.75, 0.6, 0.1, 1.0, 0.392, 1.0};
    ASSERT_EQ(avgRows.size(), 7u);
    for (std::size_t r = 1; r < avgRows.size(); ++r) {
        const auto& a = avgRows[r];
        ASSERT_EQ(a.size(), 32u);
        const auto from = parseIso(a[0]);
        const auto to = from + std::chrono::duration_cast<WallClock::duration>(std::chrono::duration<double>(std::stod(a[1])));
        EXPECT_EQ(from, r == 1 ? start : kT0 + std::chrono::seconds(r - 1)) << a[0];
        EXPECT_NEAR(std::stod(a[31]), linkUp[r - 1], 0.0005) << a[0];
        std::vector<std::vector<double>> values(7);
        for (std::size_t i = 1; i < rawRows.size(); ++i) {
            const auto t = parseIso(rawRows[i][0]);
            if (t < from || t >= to || rawRows[i].back() != "up")
                continue;
            for (std::size_t q = 0; q < 7; ++q)
                values[q].push_back(std::stod(rawRows[i][rawColumn[q]]));
        }
        EXPECT_EQ(a[2], std::to_string(values[0].size())) << a[0];
        for (std::size_t q = 0; q < 7; ++q) {
            const auto& v = values[q];
            if (v.empty()) {
                for (std::size_t k = 0; k < 4; ++k)
                    EXPECT_EQ(a[avgColumn[q] + k], "") << a[0];
                continue;
            }
            double mean = 0, ss = 0;
            for (const double x : v)
                mean += x / static_cast<double>(v.size());
            for (const double x : v)
                ss += (x - mean) * (x - mean);
            const double want[] = {mean, v.size() > 1 ? std::sqrt(ss / static_cast<double>(v.size() - 1)) : 0.0,
                                   *std::min_element(v.begin(), v.end()), *std::max_element(v.begin(), v.end())};
            for (std::size_t k = 0; k < 4; ++k)
                EXPECT_NEAR(std::stod(a[avgColumn[q] + k]), want[k], tolerance[q] + std::fabs(want[k]) * 1e-6)
                    << a[0] << " column " << avgColumn[q] + k;
        }
    }
    EXPECT_EQ(avgRows[3][2], "13"); // 2.900 .. 2.996: the link came back
    EXPECT_TRUE(notes.lines.size() == 2 && notes.lines[0].rfind("writing ", 0) == 0) << notes.lines.size();
}

TEST(Logger, ANewFileBeginsAtEachBoundaryOrSizeUnderANameNotUsedBefore)
{
    using Kind = record::LogRotation::Kind;
    struct Case {
        record::LogRotation rotation;
        bool compress;
        std::vector<WallClock::time_point> times;
        std::map<std::string, std::vector<int>> files; // name -> its rows
    };
    const auto hour = kT0 + 1800s; // 09:00 UTC
    const auto midnight = WallClock::from_time_t(1796688000); // 2026-12-08 00:00 UTC
    std::vector<WallClock::time_point> everySecond;
    for (int i = 0; i < 25; ++i)
        everySecond.push_back(kT0 + std::chrono::seconds(i));
    const Case cases[] = {
        {{Kind::Hourly, 0}, false, {hour - 2s, hour - 1ms, hour, hour + 1s},
         {{"ttyUSB0-20261207T085958Z_2.csv", {0, 1}}, {"ttyUSB0-20261207T090000Z.csv", {2, 3}}}},
        {{Kind::Daily, 0}, true, {midnight - 100ms, midnight, midnight + 3h},
         {{"ttyUSB0-20261207T235959Z.csv.gz", {0}}, {"ttyUSB0-20261208T000000Z.csv.gz", {1, 2}}}},
        // Ten rows of 100 bytes and the header fill 1 KiB.
        {{Kind::Size, 1024}, false, everySecond,
         {{"ttyUSB0-20261207T083000Z.csv", {0, 1, 2, 3, 4, 5, 6, 7, 8, 9}},
          {"ttyUSB0-20261207T083010Z.csv", {10, 11, 12, 13, 14, 15, 16, 17, 18, 19}},
          {"ttyUSB0-20261207T083020Z.csv", {20, 21, 22, 23, 24}}}},
    };
    for (const auto& c : cases) {
        TempDir dir;
        // Someone's file under the name the hourly case's first file would take.
        testsupport::writeFile(dir / "ttyUSB0-20261207T085958Z.csv", "not the logger's\n");
        const timespec written[2] = {{1796600000, 0}, {1796600000, 0}};
        ASSERT_EQ(::utimensat(AT_FDCWD, (dir / "ttyUSB0-20261207T085958Z.csv").c_str(), written, 0), 0);
        auto folder = openFolder(dir);
        Notes notes;
        {
            record::LogWriter w(*folder, "h\n", {c.rotation, 5s, c.compress, std::nullopt}, notes.note());
            for (std::size_t i = 0; i < c.times.size(); ++i)
                w.push(c.times[i], row(static_cast<int>(i)));
            EXPECT_EQ(w.finish().rowsWritten, c.times.size());
        }
        // With compression, a file under this logger's pattern that was left
        // uncompressed is taken for one an earlier run closed.
        const std::string earlier = std::string("ttyUSB0-20261207T085958Z.csv") + (c.compress ? ".gz" : "");
        std::vector<std::string> want = {earlier};
        for (const auto& [name, rows] : c.files) {
            want.push_back(name);
            std::string content = "h\n";
            for (const int r : rows)
                content += row(r);
            const auto path = dir / name;
            EXPECT_EQ(c.compress ? gunzip(path) : testsupport::readFile(path), content) << name;
        }
        std::sort(want.begin(), want.end());
        EXPECT_EQ(namesIn(dir.path()), want);
        EXPECT_EQ(c.compress ? gunzip(dir / earlier) : testsupport::readFile(dir / earlier), "not the logger's\n");
        struct stat st {};
        ASSERT_EQ(::stat((dir / earlier).c_str(), &st), 0);
        EXPECT_EQ(st.st_mtim.tv_sec, 1796600000) << "compressed, it keeps its time of last writing";
        EXPECT_EQ(notes.lines.size(), c.files.size()); // "writing ..." for each
    }
}

TEST(Logger, AFullDiskStopsWritingNotLoggingAndANewFileFollowsWhenSpaceReturns)
{
    testsupport::FileSizeLimit limit; // stands in for the full disk: writes past 4 KiB fail
    testsupport::ScopedEnv tz("TZ", "UTC");
    ::tzset();
    TempDir dir;
    auto folder = openFolder(dir);
    Notes notes;
    std::atomic<int64_t> nowMs{0};
    auto clock = std::make_shared<testsupport::TestClock>();
    clock->hold();
    record::LogWriter w(*folder, "h\n", {{}, 5s, false, std::nullopt}, notes.note(), clock,
                        [&] { return kT0 + std::chrono::milliseconds(nowMs.load()); });
    ASSERT_TRUE(clock->parked());
    auto pushRows = [&](int from, int to) {
        for (int i = from; i < to; ++i)
            w.push(kT0 + std::chrono::seconds(i), row(i));
    };
    auto turn = [&](int64_t ms) {
        nowMs += ms;
        ASSERT_TRUE(clock->step());
    };
    limit.set(4096);
    pushRows(0, 30);
    turn(1000);
    pushRows(30, 50); // 2000 bytes more do not fit: cut off, writing stops
    turn(1000);
    const std::string first = "ttyUSB0-20261207T083000Z.csv";
    std::string firstContent = "h\n";
    for (int i = 0; i < 30; ++i)
        firstContent += row(i);
    EXPECT_EQ(testsupport::readFile(dir / first), firstContent);
    EXPECT_EQ(w.status().file, "");
    pushRows(50, 55);
    turn(9000); // 9 s after the failure: no try yet
    EXPECT_EQ(namesIn(dir.path()), std::vector<std::string>{first});
    limit.set(RLIM_INFINITY);
    pushRows(55, 58);
    turn(1000);
    const std::string second = "ttyUSB0-20261207T083055Z.csv";
    EXPECT_EQ(testsupport::readFile(dir / second), "h\n" + row(55) + row(56) + row(57));
    const auto status = w.finish();
    EXPECT_EQ(status.rowsWritten, 33u);
    EXPECT_EQ(status.rowsLost, 25u);
    ASSERT_EQ(notes.lines.size(), 3u);
    EXPECT_EQ(notes.lines[1], "cannot write " + (dir / first).string() +
                                  ": File too large; writing stopped, acquisition goes on; a new file is tried every 10 s");
    EXPECT_EQ(notes.lines[2], "writing again, to " + (dir / second).string() +
                                  "; 25 rows, standing for 2026-12-07T08:30:30.000+00:00 to "
                                  "2026-12-07T08:30:54.000+00:00, could not be written");
}

TEST(Logger, RetentionRemovesOnlyThisLoggersFilesLastWrittenTooLongAgo)
{
    TempDir dir;
    const std::pair<std::string, int> files[] = {
        // name, days since last written
        {"ttyUSB0-20261120T000000Z.csv", 8},     {"ttyUSB0-20261121T000000Z_2.csv.gz", 8},
        {"ttyUSB0-20261201T000000Z.csv.gz", 6},  {"ttyUSB1-20261120T000000Z.csv", 8},
        {"ttyUSB01-20261120T000000Z.csv", 8},    {"ttyUSB0-notes.csv", 8},
        {"ttyUSB0-20261120T000000Z.txt", 8},     {"ttyUSB0-20261120T0000Z.csv", 8},
        {"ttyUSB0x20261120T000000Z.csv", 8},
    };
    for (const auto& [name, age] : files) {
        testsupport::writeFile(dir / name, "x\n");
        const timespec t = {WallClock::to_time_t(kT0 - std::chrono::days(age)), 0};
        const timespec times[2] = {t, t};
        ASSERT_EQ(::utimensat(AT_FDCWD, (dir / name).c_str(), times, 0), 0);
    }
    auto folder = openFolder(dir);
    Notes notes;
    record::LogWriter w(*folder, "h\n", {{}, 5s, false, 7}, notes.note(), nullptr, [] { return kT0; });
    w.finish();
    EXPECT_EQ(namesIn(dir.path()),
              (std::vector<std::string>{"ttyUSB0-20261120T000000Z.txt", "ttyUSB0-20261120T0000Z.csv",
                                        "ttyUSB0-20261201T000000Z.csv.gz", "ttyUSB0-notes.csv",
                                        "ttyUSB01-20261120T000000Z.csv", "ttyUSB0x20261120T000000Z.csv",
                                        "ttyUSB1-20261120T000000Z.csv"}));
    EXPECT_EQ(notes.lines.size(), 2u);
}

TEST(Logger, TheNextStartRepairsWhatACrashLeftAndSaysSo)
{
    TempDir dir;
    const std::string a = "ttyUSB0-20261207T083000Z.csv", b = "ttyUSB0-20261207T083000Z_2.csv",
                      c = "ttyUSB0-20261207T083000Z_3.csv", d = "ttyUSB0-20261207T083000Z_4.csv",
                      other = "ttyUSB1-20261207T083000Z.csv";
    testsupport::writeFile(dir / a, "h\nr1\nr2 in pa" + std::string(5, '\0')); // a power cut mid-row
    testsupport::writeFile(dir / b, "h,and no li");                         // not even the header
    testsupport::writeFile(dir / c, "h\nr1\n");                              // compressed, source not yet removed
    testsupport::writeFile(dir / (c + ".gz"), "(whole)");
    testsupport::writeFile(dir / (d + ".gz.part"), "(half)");               // a compression cut short
    testsupport::writeFile(dir / d, "h\nr1\n");
    testsupport::writeFile(dir / other, "h\nanother logger's row in pa");
    auto folder = openFolder(dir);
    Notes notes;
    folder->recover(notes.note());
    EXPECT_EQ(testsupport::readFile(dir / a), "h\nr1\n");
    EXPECT_EQ(testsupport::readFile(dir / d), "h\nr1\n");
    EXPECT_EQ(testsupport::readFile(dir / other), "h\nanother logger's row in pa");
    EXPECT_EQ(namesIn(dir.path()), (std::vector<std::string>{a, c + ".gz", d, other}));
    EXPECT_EQ(notes.lines, (std::vector<std::string>{
                               "removed " + d + ".gz.part, a compression that did not finish",
                               a + " ended in a partly written row: cut off 13 bytes after its last whole row",
                               "removed " + b + ", which held no whole row",
                               "removed " + c + ", which " + c + ".gz holds whole",
                           }));
    // The lock keeps a second logger of the port out, not one of another port.
    std::string error;
    EXPECT_FALSE(record::LogFolder::open(dir.path(), "ttyUSB0", &error));
    EXPECT_EQ(error, "another logger of ttyUSB0 writes to " + dir.path().string());
    EXPECT_TRUE(record::LogFolder::open(dir.path(), "ttyUSB1", &error));
}
