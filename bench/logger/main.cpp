// The unattended logger at the board's full rate: plovex-cli log as a
// process of its own against a simulated board paced at 38400 baud (itself
// a process: plovex-cli simulate --paced). Prints figures measured in this
// run:
//
//   - CPU of the logger, raw and --average 1, beside plovex-cli monitor
//     --format csv into /dev/null (the same acquisition, no files), in % of
//     one core over the whole run (its 1 s start pause included);
//   - bytes a day in both, from the files written: raw also gzipped (as
//     --compress leaves it);
//   - the time from a record (its time column: when the board's reply was
//     complete) to the end of the fsync that put its row on the disk, at the
//     default 5 s sync: strace -f -ttt -T follows the logger's writes and
//     syncs of the file, and each row is placed in the write that took it.
//
//   bench_logger [--seconds S] [--no-latency]
//
// Default 30 s a run.

#include "bench/common/BenchArgs.h"
#include "record/Gzip.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <optional>
#include <regex>
#include <spawn.h>
#include <sstream>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

namespace fs = std::filesystem;

struct Child {
    pid_t pid = -1;
};

// Starts args with standard output into out (and standard error into err when given).
std::optional<Child> spawn(const std::vector<std::string>& args, const fs::path& out, const fs::path& err = "/dev/null")
{
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    std::vector<char*> argv;
    for (const auto& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    Child c;
    const int r = posix_spawnp(&c.pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (r != 0)
        return std::nullopt;
    return c;
}

// Waits for the child; its CPU (user + system) in seconds.
double waitCpu(const Child& c)
{
    int status = 0;
    rusage u{};
    ::wait4(c.pid, &status, 0, &u);
    return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

std::string readAll(const fs::path& p)
{
    std::ifstream in(p, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

// "2026-12-07T05:00:00.005-03:30" in seconds since 1970.
double isoSeconds(const std::string& s)
{
    std::tm tm{};
    int ms = 0, oh = 0, om = 0;
    char sign = '+';
    std::sscanf(s.c_str(), "%d-%d-%dT%d:%d:%d.%d%c%d:%d", &tm.tm_year, &tm.tm_mon, &tm.tm_mday, &tm.tm_hour,
                &tm.tm_min, &tm.tm_sec, &ms, &sign, &oh, &om);
    tm.tm_year -= 1900;
    tm.tm_mon -= 1;
    const double offset = (oh * 3600.0 + om * 60.0) * (sign == '-' ? -1 : 1);
    return static_cast<double>(timegm(&tm)) + ms / 1000.0 - offset;
}

struct Rows {
    std::vector<double> times; // each data row's time
    std::vector<std::size_t> ends; // the file offset after each data row
    std::size_t headerBytes = 0, bytes = 0;
};

Rows rowsOf(const std::string& text)
{
    Rows r;
    r.bytes = text.size();
    std::size_t at = text.find('\n') + 1;
    r.headerBytes = at;
    while (at < text.size()) {
        const std::size_t end = text.find('\n', at);
        if (end == std::string::npos)
            break;
        r.times.push_back(isoSeconds(text.substr(at, text.find(',', at) - at)));
        r.ends.push_back(end + 1);
        at = end + 1;
    }
    return r;
}

// The one CSV file a run left in dir.
std::optional<fs::path> csvIn(const fs::path& dir)
{
    for (const auto& e : fs::directory_iterator(dir))
        if (e.path().extension() == ".csv")
            return e.path();
    return std::nullopt;
}

double percentile(std::vector<double> v, double p)
{
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, static_cast<std::size_t>(p * static_cast<double>(v.size())))];
}

std::string machine()
{
    std::ifstream cpuinfo("/proc/cpuinfo");
    std::string line, model = "?";
    while (std::getline(cpuinfo, line))
        if (line.rfind("model name", 0) == 0) {
            model = line.substr(line.find(':') + 2);
            break;
        }
    std::ifstream load("/proc/loadavg");
    double l1 = 0, l5 = 0;
    load >> l1 >> l5;
    char text[256];
    std::snprintf(text, sizeof text, "%s, %u cores, load %.2f (1 min) %.2f (5 min)", model.c_str(),
                  std::thread::hardware_concurrency(), l1, l5);
    return text;
}

// From strace -f -ttt -T -y output: the end time of each write to file (with
// its size) and of each fsync of it, in order.
struct Trace {
    std::vector<std::pair<double, std::size_t>> writes;
    std::vector<double> syncs;
};

Trace readTrace(const fs::path& traceFile, const std::string& file)
{
    Trace t;
    std::ifstream in(traceFile);
    // A call another thread interrupted comes in two lines: "write(7</p>, ...
    // <unfinished ...>", then "<... write resumed>...) = 16056 <0.000069>".
    const std::regex whole(R"(^(\d+) +(\d+\.\d+) (write|fsync)\(\d+<([^>]*)>.*\) += (-?\d+).*<(\d+\.\d+)>$)");
    const std::regex begun(R"(^(\d+) +(\d+\.\d+) (write|fsync)\(\d+<([^>]*)>.*<unfinished \.\.\.>$)");
    const std::regex resumed(R"(^(\d+) +\d+\.\d+ <\.\.\. (write|fsync) resumed>.*\) += (-?\d+).*<(\d+\.\d+)>$)");
    std::map<std::string, std::pair<double, std::string>> open; // pid -> start, path
    auto note = [&](const std::string& call, const std::string& path, double start, long result, double took) {
        if (path != file)
            return;
        if (call == "write" && result > 0)
            t.writes.emplace_back(start + took, static_cast<std::size_t>(result));
        else if (call == "fsync" && result == 0)
            t.syncs.push_back(start + took);
    };
    for (std::string line; std::getline(in, line);) {
        std::smatch m;
        if (std::regex_match(line, m, whole))
            note(m[3], m[4], std::stod(m[2]), std::stol(m[5]), std::stod(m[6]));
        else if (std::regex_match(line, m, begun))
            open[m[1]] = {std::stod(m[2]), m[4]};
        else if (std::regex_match(line, m, resumed) && open.count(m[1]))
            note(m[2], open[m[1]].second, open[m[1]].first, std::stol(m[3]), std::stod(m[4]));
    }
    std::sort(t.syncs.begin(), t.syncs.end());
    return t;
}

} // namespace

int main(int argc, char** argv)
{
    auto args = bench::readArgs(argc, argv, {"seconds"}, {"no-latency"});
    double seconds = 30;
    if (auto s = args.number("seconds", 5))
        seconds = *s;
    if (!args.error.empty() || args.has("help")) {
        std::cerr << (args.error.empty() ? "" : "bench_logger: " + args.error + "\n")
                  << "usage: bench_logger [--seconds S] [--no-latency]\n";
        return args.error.empty() ? 0 : 2;
    }
    const std::string cli = PLOVEX_CLI_PATH;
    const fs::path work = fs::temp_directory_path() / ("plovex-bench-logger-" + std::to_string(::getpid()));
    fs::create_directories(work);
    const std::string link = (work / "board").string();
    const std::string secondsText = std::to_string(seconds);

    auto board = spawn({cli, "simulate", "--paced", "--link", link}, work / "board.out");
    for (int i = 0; i < 100 && !fs::exists(link); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    if (!board || !fs::exists(link)) {
        std::cerr << "bench_logger: the simulated board did not start\n";
        return 1;
    }
    std::printf("plovex-cli log against a paced simulated board, %.0f s a run\n", seconds);
    std::printf("  machine                          %s\n", machine().c_str());

    struct Run {
        const char* name;
        std::vector<std::string> extra;
    };
    const Run runs[] = {{"monitor, csv to /dev/null", {}}, {"log (raw)", {}}, {"log --average 1", {"--average", "1"}}};
    Rows raw;
    double rawRate = 0;
    for (const auto& run : runs) {
        const bool monitor = run.name[0] == 'm';
        const fs::path dir = work / (monitor ? "monitor" : run.extra.empty() ? "raw" : "averaged");
        std::vector<std::string> command = {cli, monitor ? "monitor" : "log", "--port", link, "--seconds", secondsText};
        if (monitor)
            command.insert(command.end(), {"--format", "csv"});
        else
            command.insert(command.end(), {"--dir", dir.string()});
        command.insert(command.end(), run.extra.begin(), run.extra.end());
        auto child = spawn(command, "/dev/null", work / "stderr");
        if (!child) {
            std::cerr << "bench_logger: " << cli << " did not start\n";
            return 1;
        }
        const double cpu = waitCpu(*child);
        std::printf("  CPU, %-27s  %.2f %% of one core (%.2f s)\n", run.name, 100.0 * cpu / seconds, cpu);
        if (monitor)
            continue;
        const auto file = csvIn(dir);
        if (!file) {
            std::printf("  no file written: %s\n", readAll(work / "stderr").c_str());
            continue;
        }
        const std::string text = readAll(*file);
        const Rows rows = rowsOf(text);
        if (rows.times.size() < 2)
            continue;
        const double perRow = static_cast<double>(rows.bytes - rows.headerBytes) / static_cast<double>(rows.times.size());
        if (run.extra.empty()) {
            raw = rows;
            rawRate = static_cast<double>(rows.times.size() - 1) / (rows.times.back() - rows.times.front());
            const double perDay = perRow * rawRate * 86400;
            const fs::path gz = work / "raw.csv.gz";
            const int in = ::open(file->c_str(), O_RDONLY | O_CLOEXEC);
            const int out = ::open(gz.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
            std::string why;
            plovex::record::gzipFile(in, out, &why);
            ::close(in);
            ::close(out);
            const double ratio = static_cast<double>(fs::file_size(gz)) / static_cast<double>(rows.bytes);
            std::printf("  raw rows                         %zu, %.1f a second, %.1f bytes each\n", rows.times.size(),
                        rawRate, perRow);
            std::printf("  bytes a day, raw                 %.2f GB (%.0f MB gzipped, %.1f %%)\n", perDay / 1e9,
                        perDay * ratio / 1e6, 100 * ratio);
            // The line limit: a poll byte and a frame, the 1 ms pause, a fifth of an EEPROM exchange.
            const double lineLimit = 1.0 / (22 * 10.0 / 38400 + 0.001 + 4 * 10.0 / 38400 / 5);
            std::printf("  bytes a day, raw at %.1f/s       %.2f GB (%.0f MB gzipped)\n", lineLimit,
                        perRow * lineLimit * 86400 / 1e9, perRow * lineLimit * 86400 * ratio / 1e6);
        } else {
            std::printf("  averaged rows                    %zu, %.1f bytes each\n", rows.times.size(), perRow);
            std::printf("  bytes a day, --average 1         %.1f MB\n", perRow * 86400 / 1e6);
        }
    }

    if (!args.has("no-latency")) {
        // Once more, raw, with the logger's writes and syncs traced.
        const fs::path dir = work / "traced", trace = work / "trace";
        auto child = spawn({"strace", "-f", "-ttt", "-T", "-y", "-s", "0", "-e", "trace=write,fsync", "-o", trace.string(),
                            cli, "log", "--port", link, "--seconds", secondsText, "--dir", dir.string()},
                           "/dev/null");
        if (child)
            waitCpu(*child);
        const auto file = child ? csvIn(dir) : std::nullopt;
        if (!file) {
            std::printf("  record to disk                   not measured (strace did not run)\n");
        } else {
            const Rows rows = rowsOf(readAll(*file));
            const Trace t = readTrace(trace, fs::canonical(*file).string());
            std::vector<double> latency;
            std::size_t written = 0, w = 0;
            for (std::size_t i = 0; i < rows.times.size(); ++i) {
                while (w < t.writes.size() && written < rows.ends[i])
                    written += t.writes[w++].second;
                if (written < rows.ends[i] || w == 0)
                    break;
                const double writeEnd = t.writes[w - 1].first;
                const auto sync = std::lower_bound(t.syncs.begin(), t.syncs.end(), writeEnd);
                if (sync == t.syncs.end())
                    break;
                latency.push_back(*sync - rows.times[i]);
            }
            std::printf("  record to disk, --sync 5         p50 %.2f s, p99 %.2f s, max %.2f s (%zu rows, %zu fsyncs)\n",
                        percentile(latency, 0.5), percentile(latency, 0.99), percentile(latency, 1.0),
                        latency.size(), t.syncs.size());
        }
    }
    ::kill(board->pid, SIGTERM);
    ::waitpid(board->pid, nullptr, 0);
    fs::remove_all(work);
    return 0;
}
