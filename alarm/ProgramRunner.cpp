#include "alarm/ProgramRunner.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/eventfd.h>
#include <sys/syscall.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace plovex::alarm {

namespace {

using namespace std::chrono_literals;

// Without a pidfd (an old kernel) the end of a child is looked for this often.
constexpr auto kPollSlice = 20ms;

std::string secondsText(std::chrono::milliseconds d)
{
    const long long ms = d.count();
    std::string t = std::to_string(ms / 1000);
    if (ms % 1000) {
        char frac[8];
        std::snprintf(frac, sizeof frac, ".%03lld", ms % 1000);
        t += frac;
        while (t.back() == '0')
            t.pop_back();
    }
    return t + " s";
}

bool isExecutableFile(const std::string& path)
{
    struct stat st{};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && ::access(path.c_str(), X_OK) == 0;
}

// The process's environment with the job's variables in place of any of
// the same name.
std::vector<std::string> environmentFor(const ProgramRunner::Environment& added)
{
    std::vector<std::string> env;
    for (char** e = environ; e && *e; ++e) {
        const std::string entry(*e);
        bool replaced = false;
        for (const auto& [name, value] : added)
            replaced = replaced || entry.compare(0, name.size() + 1, name + "=") == 0;
        if (!replaced)
            env.push_back(entry);
    }
    for (const auto& [name, value] : added)
        env.push_back(name + "=" + value);
    return env;
}

} // namespace

std::optional<std::string> findProgram(const std::string& program, std::string* error)
{
    if (program.empty()) {
        *error = "needs a program";
        return std::nullopt;
    }
    if (program.find('/') != std::string::npos) {
        if (isExecutableFile(program))
            return program;
        *error = program + ": " + (::access(program.c_str(), F_OK) != 0 ? std::strerror(ENOENT) : "not an executable file");
        return std::nullopt;
    }
    const char* path = std::getenv("PATH");
    const std::string folders = path ? path : "/usr/local/bin:/usr/bin:/bin";
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = std::min(folders.find(':', start), folders.size());
        const std::string folder = end > start ? folders.substr(start, end - start) : ".";
        if (const std::string candidate = folder + "/" + program; isExecutableFile(candidate))
            return candidate;
        if (end == folders.size())
            break;
        start = end + 1;
    }
    *error = program + ": no such program on PATH";
    return std::nullopt;
}

ProgramRunner::ProgramRunner(Settings settings, Report report) : settings_(std::move(settings)), report_(std::move(report))
{
    wakeFd_ = platform::UniqueFd(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK));
    thread_ = std::thread([this] { threadMain(); });
}

ProgramRunner::~ProgramRunner()
{
    if (thread_.joinable())
        finish(0ms);
}

void ProgramRunner::run(Environment environment, std::string what)
{
    {
        std::lock_guard lock(mutex_);
        if (finishing_)
            return;
        queue_.push_back({std::move(environment), std::move(what)});
        while (queue_.size() > settings_.queueLimit) {
            queue_.pop_front();
            ++dropped_;
        }
    }
    wake_.notify_all();
}

void ProgramRunner::finish(std::chrono::milliseconds drain)
{
    {
        std::lock_guard lock(mutex_);
        finishing_ = true;
        drainUntil_ = Clock::now() + drain;
    }
    wake_.notify_all();
    if (wakeFd_) {
        const uint64_t one = 1;
        [[maybe_unused]] const auto n = ::write(wakeFd_.get(), &one, sizeof one);
    }
    if (thread_.joinable())
        thread_.join();
}

std::optional<ProgramRunner::Clock::time_point> ProgramRunner::drainEnd()
{
    std::lock_guard lock(mutex_);
    return finishing_ ? std::optional(drainUntil_) : std::nullopt;
}

void ProgramRunner::threadMain() noexcept
{
    try {
        for (;;) {
            Job job;
            std::size_t dropped = 0;
            {
                std::unique_lock lock(mutex_);
                wake_.wait(lock, [&] { return finishing_ || !queue_.empty(); });
                if (queue_.empty() || (finishing_ && Clock::now() >= drainUntil_))
                    break;
                job = std::move(queue_.front());
                queue_.pop_front();
                dropped = std::exchange(dropped_, 0);
            }
            if (dropped)
                report_(settings_.program + " is behind: " + std::to_string(dropped) +
                        " older alarm changes were not passed to it");
            runOne(job);
        }
        std::size_t left = 0;
        {
            std::lock_guard lock(mutex_);
            left = queue_.size() + std::exchange(dropped_, 0);
        }
        if (left)
            report_(std::to_string(left) + " alarm changes were not passed to " + settings_.program + " before the end");
    } catch (const std::exception& e) {
        report_(std::string("alarm programs stopped: ") + e.what());
    } catch (...) {
        report_("alarm programs stopped");
    }
}

void ProgramRunner::runOne(const Job& job)
{
    const std::vector<std::string> env = environmentFor(job.environment);
    std::vector<char*> envp;
    for (const auto& e : env)
        envp.push_back(const_cast<char*>(e.c_str()));
    envp.push_back(nullptr);
    char* argv[] = {const_cast<char*>(settings_.program.c_str()), nullptr};

    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attr;
    posix_spawn_file_actions_init(&actions);
    posix_spawnattr_init(&attr);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, STDERR_FILENO, STDOUT_FILENO);
    posix_spawn_file_actions_addclosefrom_np(&actions, 3);
    // The process's blocked and caught signals are not the program's.
    sigset_t none, all;
    sigemptyset(&none);
    sigfillset(&all);
    posix_spawnattr_setsigmask(&attr, &none);
    posix_spawnattr_setsigdefault(&attr, &all);
    posix_spawnattr_setpgroup(&attr, 0);
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETPGROUP);
    pid_t pid = -1;
    const int rc = ::posix_spawn(&pid, settings_.program.c_str(), &actions, &attr, argv, envp.data());
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attr);
    if (rc != 0) {
        report_(settings_.program + " could not be run (" + job.what + "): " + std::strerror(rc));
        return;
    }

    // Through syscall: this glibc's <sys/pidfd.h> declares pidfd_open without C linkage.
    const platform::UniqueFd pidFd(static_cast<int>(::syscall(SYS_pidfd_open, pid, 0)));
    int status = 0;
    const auto limit = Clock::now() + settings_.limit;
    if (!waitForExit(pid, pidFd.get(), limit, true, status)) {
        const bool overran = Clock::now() >= limit; // else the end came first
        ::kill(-pid, SIGTERM);
        if (!waitForExit(pid, pidFd.get(), Clock::now() + settings_.grace, false, status)) {
            ::kill(-pid, SIGKILL);
            while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
            }
        }
        report_(settings_.program + (overran ? " did not end within " + secondsText(settings_.limit) : " was still running at the end") +
                " (" + job.what + "); it was stopped");
        return;
    }
    if (WIFEXITED(status) && WEXITSTATUS(status) != 0)
        report_(settings_.program + " failed with exit status " + std::to_string(WEXITSTATUS(status)) + " (" +
                job.what + ")");
    else if (WIFSIGNALED(status))
        report_(settings_.program + " was ended by signal " + std::to_string(WTERMSIG(status)) + " (" +
                strsignal(WTERMSIG(status)) + ", " + job.what + ")");
}

bool ProgramRunner::waitForExit(int pid, int pidFd, Clock::time_point deadline, bool drainEnds, int& status)
{
    for (;;) {
        const pid_t done = ::waitpid(pid, &status, WNOHANG);
        if (done == pid)
            return true;
        if (done < 0 && errno != EINTR)
            return true; // not ours to wait for any more
        auto until = deadline;
        if (const auto drain = drainEnd(); drain && drainEnds)
            until = std::min(until, *drain);
        const auto now = Clock::now();
        if (now >= until)
            return false;
        auto wait = std::chrono::ceil<std::chrono::milliseconds>(until - now);
        if (pidFd < 0)
            wait = std::min<std::chrono::milliseconds>(wait, kPollSlice);
        pollfd fds[2] = {{pidFd, POLLIN, 0}, {wakeFd_.get(), POLLIN, 0}};
        if (::poll(fds, 2, static_cast<int>(std::min<long long>(wait.count(), 60'000))) > 0 && (fds[1].revents & POLLIN)) {
            uint64_t count = 0; // taken, so that the next wait waits
            [[maybe_unused]] const auto n = ::read(wakeFd_.get(), &count, sizeof count);
        }
    }
}

} // namespace plovex::alarm
