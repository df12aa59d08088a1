// Opening a long recording: writes a recording of N rows at the board's full
// rate (default 12 million, about a day), with the link down for a while and
// silences, then opens it as the window does (chart/RecordingHistory) in a
// child process and prints the time it took and the child's peak memory;
// then the time of a zoom to a few seconds and of a cursor's row.
//
//   bench_review [--rows N] [--file PATH] [--keep]
//
// --file reads (or, when missing, writes) the recording at PATH; without it
// one is written in a temporary folder and removed at the end unless --keep.

#include "bench/common/BenchArgs.h"
#include "chart/RecordingHistory.h"
#include "link/BoardFacts.h"
#include "record/LocalTime.h"

#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

constexpr double kRowSeconds = 1.0 / 144.1; // the line's limit at 38400 baud
constexpr const char* kHeader = "time,elapsed_s,x_deg,y_deg,temp_c,xGravityRaw,xGravityKal,xRaw,xKal,yGravityRaw,"
                                "yGravityKal,yRaw,yKal,temp,packetCount,link\n";

double since(Clock::time_point t)
{
    return std::chrono::duration<double>(Clock::now() - t).count();
}

void appendNumber(std::string& out, double v, int decimals)
{
    char text[32];
    const auto r = std::to_chars(text, text + sizeof text, v, std::chars_format::fixed, decimals);
    out.append(text, r.ptr);
}

void appendInt(std::string& out, long v)
{
    char text[24];
    const auto r = std::to_chars(text, text + sizeof text, v);
    out.append(text, r.ptr);
}

// Writes rows in the recording's format: a slow tilt with noise, the link
// down for a minute every six hours, a silence of 5 s every hour.
bool writeRecording(const std::string& path, long rows)
{
    std::FILE* f = std::fopen(path.c_str(), "w");
    if (!f)
        return false;
    std::string out = kHeader;
    const auto start = std::chrono::floor<std::chrono::seconds>(plovex::record::WallClock::now());
    std::string secondText;
    long second = -1;
    uint32_t noise = 1;
    for (long i = 0; i < rows; ++i) {
        const double t = static_cast<double>(i) * kRowSeconds;
        const long hourSecond = static_cast<long>(t) % 3600;
        if (hourSecond < 5)
            continue; // silent
        const auto whole = static_cast<long>(t);
        if (whole != second) { // "2026-12-07T14:03:22" and the offset, once a second
            second = whole;
            secondText = plovex::record::isoLocalTime(start + std::chrono::seconds(whole));
        }
        const auto ms = static_cast<int>((t - static_cast<double>(whole)) * 1000);
        out.append(secondText, 0, 20);
        out += static_cast<char>('0' + ms / 100);
        out += static_cast<char>('0' + ms / 10 % 10);
        out += static_cast<char>('0' + ms % 10);
        out.append(secondText, 23, std::string::npos);
        out += ',';
        appendNumber(out, t, 3);
        const bool up = static_cast<long>(t) % 21600 >= 60;
        if (up) {
            noise = noise * 1664525 + 1013904223;
            const int xKal = static_cast<int>(2000 * std::sin(t / 600) + static_cast<int>(noise >> 29) - 4);
            const int yKal = static_cast<int>(-1000 * std::cos(t / 900));
            out += ',';
            appendNumber(out, plovex::board::countsToDegrees(xKal), 4);
            out += ',';
            appendNumber(out, plovex::board::countsToDegrees(yKal), 4);
            // The raw values as the board sends them: gravity (8192 counts
            // a g) and the unfiltered tilt, each with noise.
            const int xGravity = static_cast<int>(8192 * std::sin(plovex::board::countsToDegrees(xKal) * M_PI / 180));
            const int yGravity = static_cast<int>(8192 * std::sin(plovex::board::countsToDegrees(yKal) * M_PI / 180));
            const int jitter = static_cast<int>(noise >> 26) - 32;
            out += ",23.5";
            for (const int v : {xGravity + jitter, xGravity, xKal - jitter, xKal, yGravity - jitter, yGravity,
                                yKal + jitter, yKal, 235}) {
                out += ',';
                appendInt(out, v);
            }
            out += ',';
        } else {
            out += ",,,,,,,,,,,,,";
        }
        appendInt(out, i & 0xFFFF);
        out += up ? ",up\n" : ",down\n";
        if (out.size() > (1 << 20)) {
            std::fwrite(out.data(), 1, out.size(), f);
            out.clear();
        }
    }
    std::fwrite(out.data(), 1, out.size(), f);
    return std::fclose(f) == 0;
}

// In the child: opens the file and prints what it found and how long each step took.
int openAndReport(const std::string& path)
{
    const auto t0 = Clock::now();
    std::string error;
    const auto history = plovex::chart::RecordingHistory::open(path, 2.0, &error);
    if (!history) {
        std::fprintf(stderr, "bench_review: %s\n", error.c_str());
        return 1;
    }
    const double opened = since(t0);
    const auto& s = history->summary();
    std::printf("opened %llu rows (%llu with the link down, %llu breaks) spanning %.1f h in %.2f s: %.1f million rows/s\n",
                static_cast<unsigned long long>(s.rows), static_cast<unsigned long long>(s.emptyRows),
                static_cast<unsigned long long>(s.breaks), s.last / 3600, opened, s.rows / opened / 1e6);
    std::printf("overview: %zu columns of %.3f s\n", history->overview().columnCount(),
                history->overview().columnSeconds());
    auto t1 = Clock::now();
    const auto whole = history->overview().toPixels(0, s.last, 1200);
    std::printf("the whole file at 1200 pixels: %.2f ms\n", since(t1) * 1000);
    t1 = Clock::now();
    const auto zoomed = history->detail(s.last / 2, s.last / 2 + 10, 10.0 / 1200, &error);
    std::printf("10 s read again at 1200 pixels: %.2f ms (%s)\n", since(t1) * 1000, zoomed ? "ok" : error.c_str());
    t1 = Clock::now();
    const auto wide = history->detail(s.last / 2, s.last / 2 + 1800, 1800.0 / 1200, &error);
    std::printf("30 min read again at 1200 pixels: %.2f ms (%s)\n", since(t1) * 1000, wide ? "ok" : error.c_str());
    t1 = Clock::now();
    const auto row = history->rowNear(s.last / 3, &error);
    std::printf("the row under a cursor: %.3f ms (line %llu)\n", since(t1) * 1000,
                row ? static_cast<unsigned long long>(row->line) : 0ULL);
    return whole.empty() ? 1 : 0;
}

double loadAverage()
{
    double load[1] = {0};
    return ::getloadavg(load, 1) == 1 ? load[0] : -1;
}

} // namespace

int main(int argc, char** argv)
{
    auto args = bench::readArgs(argc, argv, {"rows", "file"}, {"keep"});
    const auto rows = args.number("rows", 1);
    if (!args.error.empty() || args.has("help")) {
        std::fprintf(args.has("help") ? stdout : stderr,
                     "%s%susage: bench_review [--rows N] [--file PATH] [--keep]\n", args.error.c_str(),
                     args.error.empty() ? "" : "\n");
        return args.has("help") ? 0 : 2;
    }
    std::filesystem::path dir;
    std::string path;
    if (const auto given = args.value("file")) {
        path = *given;
    } else {
        char tmpl[] = "/tmp/bench_review.XXXXXX";
        if (!::mkdtemp(tmpl)) {
            std::perror("bench_review: mkdtemp");
            return 1;
        }
        dir = tmpl;
        path = (dir / "recording.csv").string();
    }
    if (!std::filesystem::exists(path)) {
        const auto t0 = Clock::now();
        if (!writeRecording(path, static_cast<long>(rows.value_or(12e6)))) {
            std::perror("bench_review: writing the recording");
            return 1;
        }
        std::printf("wrote %s in %.1f s\n", path.c_str(), since(t0));
    }
    std::printf("%s: %.1f MB, load average %.1f on %ld cores\n", path.c_str(),
                static_cast<double>(std::filesystem::file_size(path)) / 1e6, loadAverage(),
                ::sysconf(_SC_NPROCESSORS_ONLN));
    std::fflush(stdout);

    // The opening in a child of its own, so that its peak memory is its own.
    const pid_t child = ::fork();
    if (child == 0) {
        const int code = openAndReport(path);
        std::fflush(stdout);
        ::_exit(code);
    }
    int status = 0;
    struct rusage usage{};
    if (child < 0 || ::wait4(child, &status, 0, &usage) != child) {
        std::perror("bench_review: fork");
        return 1;
    }
    std::printf("peak memory of the opening process: %.1f MB; CPU %.2f s user, %.2f s system\n",
                static_cast<double>(usage.ru_maxrss) / 1024, static_cast<double>(usage.ru_utime.tv_sec) + usage.ru_utime.tv_usec / 1e6,
                static_cast<double>(usage.ru_stime.tv_sec) + usage.ru_stime.tv_usec / 1e6);
    if (!dir.empty() && !args.has("keep"))
        std::filesystem::remove_all(dir);
    else
        std::printf("kept %s\n", path.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : 1;
}
