// CPU used by the whole plovex process, offscreen: against the simulated
// board answering at 38400 baud with the window shown, minimised and hidden,
// and with the window idle on a silent port (the board hears the polls but
// never answers). Each run starts a fresh process, lets it settle, then reads
// utime + stime of the process from /proc over the measured time, and the
// time its main thread (the window's: delivery, drawing, timers) ran. Prints
// figures measured in this run.
//
//   bench_app_cpu [--seconds S] [--settle S] [--plovex PATH] [--only RUN] [--screen FILE]
//
// Defaults: 30 s measured per run, 2 s to settle, the plovex built beside it.
// The shown and idle runs measure that plovex. Nothing outside a desktop can
// minimise or hide an offscreen window, so those runs measure this program
// started again as the same application (--window minimised|hidden), whose
// window it minimises or hides once it is up. The offscreen screen is Qt's
// own unless --screen names a screen description (docs/screens/*.json).

#include "app/DesktopApp.h"
#include "app/runtime/SignalQuit.h"
#include "bench/common/BenchArgs.h"
#include "sim/SimulatedBoard.h"

#include <QApplication>
#include <QTimer>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <optional>
#include <spawn.h>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

struct Options {
    double seconds = 30.0;
    double settle = 2.0;
    std::string plovex = PLOVEX_PROGRAM;
    std::string self; // this program, for the minimised and hidden runs
    std::string only;   // one run alone: shown, idle, minimised or hidden
    std::string screen; // the offscreen screen's description, when given
};

// How the measured window is shown.
enum class Window { Shown, Minimised, Hidden };

// utime + stime of a process, in clock ticks.
std::optional<unsigned long long> cpuTicks(pid_t pid)
{
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    if (!std::getline(in, line))
        return std::nullopt;
    const auto close = line.rfind(')'); // the command name may hold blanks
    if (close == std::string::npos)
        return std::nullopt;
    std::istringstream fields(line.substr(close + 2));
    std::string f;
    unsigned long long utime = 0, stime = 0;
    // After the name: state is field 3; utime and stime are fields 14 and 15.
    for (int i = 3; i <= 15 && fields >> f; ++i) {
        if (i == 14)
            utime = std::stoull(f);
        if (i == 15)
            stime = std::stoull(f);
    }
    if (!fields)
        return std::nullopt;
    return utime + stime;
}

// The time the process's main thread (the window's) ran, in seconds.
std::optional<double> mainThreadSeconds(pid_t pid)
{
    std::ifstream in("/proc/" + std::to_string(pid) + "/task/" + std::to_string(pid) + "/schedstat");
    unsigned long long ns = 0;
    if (!(in >> ns))
        return std::nullopt;
    return static_cast<double>(ns) / 1e9;
}

struct Child {
    pid_t pid = -1;
    std::filesystem::path log;
};

std::optional<Child> spawnPlovex(const Options& o, const std::string& port, const std::filesystem::path& home,
                                 Window window)
{
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) {
        const std::string s = *e;
        if (s.rfind("QT_QPA_PLATFORM=", 0) != 0 && s.rfind("XDG_CONFIG_HOME=", 0) != 0)
            env.push_back(s);
    }
    env.push_back("QT_QPA_PLATFORM=offscreen" + (o.screen.empty() ? std::string() : ":configfile=" + o.screen));
    env.push_back("XDG_CONFIG_HOME=" + home.string()); // the user's preferences stay untouched
    std::vector<char*> envp;
    for (auto& s : env)
        envp.push_back(s.data());
    envp.push_back(nullptr);

    std::vector<std::string> args = {o.plovex, "--port", port};
    if (window != Window::Shown)
        args = {o.self, "--window", window == Window::Minimised ? "minimised" : "hidden", "--port", port};
    std::vector<char*> argv;
    for (auto& s : args)
        argv.push_back(s.data());
    argv.push_back(nullptr);

    Child c;
    c.log = home / "plovex.log";
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, c.log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    const int rc = posix_spawn(&c.pid, args[0].c_str(), &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) {
        std::fprintf(stderr, "bench_app_cpu: cannot start %s: %s\n", args[0].c_str(), std::strerror(rc));
        return std::nullopt;
    }
    return c;
}

bool alive(pid_t pid)
{
    int status = 0;
    return ::waitpid(pid, &status, WNOHANG) == 0;
}

void stop(const Child& c)
{
    ::kill(c.pid, SIGTERM);
    for (int i = 0; i < 300; ++i) { // up to 3 s for an orderly end
        int status = 0;
        if (::waitpid(c.pid, &status, WNOHANG) == c.pid)
            return;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ::kill(c.pid, SIGKILL);
    ::waitpid(c.pid, nullptr, 0);
}

std::string tail(const std::filesystem::path& p)
{
    std::ifstream in(p);
    std::stringstream s;
    s << in.rdbuf();
    const std::string t = s.str();
    return t.size() > 2000 ? t.substr(t.size() - 2000) : t;
}

// One run; false when plovex could not be measured.
bool measure(const Options& o, const char* title, bool silent, Window window, const std::filesystem::path& home)
{
    plovex::sim::BoardOptions bo;
    bo.paced = true;
    bo.publish = false;
    bo.linkPath = (home / (silent ? "silent-board" : "board")).string();
    plovex::sim::SimulatedBoard board(bo);
    if (!board.start()) {
        std::fprintf(stderr, "bench_app_cpu: simulated board: %s\n", board.error().c_str());
        return false;
    }
    board.setSilent(silent);

    auto child = spawnPlovex(o, board.linkPath(), home, window);
    if (!child)
        return false;
    std::this_thread::sleep_for(std::chrono::duration<double>(o.settle));

    const auto t0 = Clock::now();
    const auto c0 = cpuTicks(child->pid);
    const auto m0 = mainThreadSeconds(child->pid);
    const auto polls0 = board.counters().pollsAnswered;
    const auto reads0 = board.counters().readsAnswered;
    const auto heard0 = board.counters().bytesReceived;
    std::this_thread::sleep_for(std::chrono::duration<double>(o.seconds));
    const auto c1 = cpuTicks(child->pid);
    const auto m1 = mainThreadSeconds(child->pid);
    const double wall = std::chrono::duration<double>(Clock::now() - t0).count();
    const auto counters = board.counters();
    const bool running = alive(child->pid);
    stop(*child);

    if (!c0 || !c1 || !m0 || !m1 || !running) {
        std::fprintf(stderr, "bench_app_cpu: plovex ended or could not be read during the %s run. Its output:\n%s\n",
                     title, tail(child->log).c_str());
        return false;
    }
    const double cpu = static_cast<double>(*c1 - *c0) / static_cast<double>(::sysconf(_SC_CLK_TCK));
    const double mainCpu = *m1 - *m0;
    const double records = static_cast<double>(counters.pollsAnswered - polls0 + counters.readsAnswered - reads0);
    std::printf("%-34s %6.2f %% of one core, main thread %.2f %%  (%.2f s CPU in %.1f s; %.1f records/s; "
                "%.0f bytes/s from the host)\n",
                title, 100.0 * cpu / wall, 100.0 * mainCpu / wall, cpu, wall, records / wall,
                static_cast<double>(counters.bytesReceived - heard0) / wall);
    std::fflush(stdout);
    return true;
}

// The application as plovex --port PATH runs it, with its window minimised
// or hidden once it is up; until SIGTERM.
int runWindow(int argc, char** argv, const std::string& state, const std::string& port)
{
    QApplication app(argc, argv);
    plovex::SignalQuit quit;
    plovex::DesktopConfig config;
    config.sessionPortPath = port;
    config.sessionPortName = std::filesystem::path(port).filename().string();
    plovex::DesktopApp desktop(config);
    desktop.start();
    QTimer::singleShot(500, &app, [&desktop, state] {
        if (state == "minimised")
            desktop.mainWindow().showMinimized();
        else
            desktop.mainWindow().hide();
    });
    return QApplication::exec();
}

} // namespace

int main(int argc, char** argv)
{
    // A reader that stops early (| head) must not leave a plovex or a board behind.
    std::signal(SIGPIPE, SIG_IGN);
    auto parsed = bench::readArgs(argc, argv, {"seconds", "settle", "plovex", "window", "port", "only", "screen"}, {});
    if (auto state = parsed.value("window"); state && parsed.error.empty()) {
        if ((*state != "minimised" && *state != "hidden") || !parsed.value("port")) {
            std::fprintf(stderr, "bench_app_cpu: --window takes minimised or hidden, with --port PATH\n");
            return 2;
        }
        return runWindow(argc, argv, *state, *parsed.value("port"));
    }
    Options o;
    if (auto v = parsed.number("seconds", 0.1))
        o.seconds = *v;
    if (auto v = parsed.number("settle", 0))
        o.settle = *v;
    if (!parsed.error.empty()) {
        std::fprintf(stderr, "bench_app_cpu: %s\n", parsed.error.c_str());
        return 2;
    }
    if (parsed.has("help")) {
        std::puts("usage: bench_app_cpu [--seconds S] [--settle S] [--plovex PATH] [--only RUN] [--screen FILE]\n"
                  "CPU of the plovex process, offscreen, against the simulated board at 38400 baud\n"
                  "with the window shown, minimised and hidden, and idle on a silent port.\n"
                  "Defaults: 30 s per run, 2 s to settle first; --only shown, idle, minimised or\n"
                  "hidden makes that run alone; --screen FILE runs on the offscreen screen FILE\n"
                  "describes (docs/screens/1366x768.json), else on Qt's own.");
        return 0;
    }
    if (auto p = parsed.value("plovex"))
        o.plovex = *p;
    if (auto screen = parsed.value("screen"))
        o.screen = std::filesystem::absolute(*screen).string();
    if (auto run = parsed.value("only")) {
        if (*run != "shown" && *run != "idle" && *run != "minimised" && *run != "hidden") {
            std::fprintf(stderr, "bench_app_cpu: --only takes shown, idle, minimised or hidden\n");
            return 2;
        }
        o.only = *run;
    }
    o.self = std::filesystem::read_symlink("/proc/self/exe").string();

    char tmpl[] = "/tmp/bench_app_cpu.XXXXXX";
    if (!::mkdtemp(tmpl)) {
        std::perror("bench_app_cpu: mkdtemp");
        return 1;
    }
    const std::filesystem::path home = tmpl;
    std::printf("plovex, offscreen, %.0f s per run after %.1f s to settle, %ld cores\n", o.seconds, o.settle,
                ::sysconf(_SC_NPROCESSORS_ONLN));
    const auto run = [&](const char* name, const char* title, bool silent, Window window) {
        return (!o.only.empty() && o.only != name) || measure(o, title, silent, window, home);
    };
    const bool ok = run("shown", "simulated board at 38400 baud:", false, Window::Shown) &&
                    run("idle", "idle on a silent port:", true, Window::Shown) &&
                    run("minimised", "  the same, window minimised:", false, Window::Minimised) &&
                    run("hidden", "  the same, window hidden:", false, Window::Hidden);
    std::error_code ec;
    std::filesystem::remove_all(home, ec);
    return ok ? 0 : 1;
}
