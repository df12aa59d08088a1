#include "tests/cli/CliProcess.h"

#include "tests/support/TestSupport.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace clitest {

namespace {

struct Pipe {
    int r = -1, w = -1;
    Pipe()
    {
        int fds[2];
        if (::pipe2(fds, O_CLOEXEC) != 0)
            throw std::runtime_error(std::string("pipe2: ") + std::strerror(errno));
        r = fds[0];
        w = fds[1];
    }
};

// A pseudo-terminal: the master stays here, the child opens the slave.
struct Terminal {
    int master = -1;
    std::string slave;
    Terminal()
    {
        master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0)
            throw std::runtime_error(std::string("pseudo-terminal: ") + std::strerror(errno));
        slave = ::ptsname(master);
    }
};

void closeFd(int& fd)
{
    if (fd >= 0)
        ::close(fd);
    fd = -1;
}

std::vector<std::string> childEnvironment(const CliOptions& options)
{
    std::map<std::string, std::string> env;
    for (char** e = environ; *e; ++e) {
        const std::string entry = *e;
        const auto eq = entry.find('=');
        if (eq != std::string::npos)
            env[entry.substr(0, eq)] = entry.substr(eq + 1);
    }
    const std::string home = isolatedHome().string();
    env["XDG_CONFIG_HOME"] = home + "/config";
    env["XDG_RUNTIME_DIR"] = home + "/runtime";
    for (const auto& [k, v] : options.env)
        env[k] = v;
    std::vector<std::string> out;
    for (const auto& [k, v] : env)
        out.push_back(k + "=" + v);
    return out;
}

} // namespace

const std::filesystem::path& isolatedHome()
{
    static testsupport::TempDir dir;
    static const bool made = [] {
        std::filesystem::create_directories(dir.path() / "config");
        std::filesystem::create_directories(dir.path() / "runtime");
        std::filesystem::permissions(dir.path() / "runtime", std::filesystem::perms::owner_all);
        return true;
    }();
    (void)made;
    return dir.path();
}

CliProcess::CliProcess(const std::vector<std::string>& args, const CliOptions& options)
    : deadline_(std::chrono::steady_clock::now() + options.timeout)
{
    Pipe in, out, err;
    std::optional<Terminal> inTerm, errTerm;
    if (options.terminalInput)
        inTerm.emplace();
    if (options.stderrTerminal)
        errTerm.emplace();
    std::vector<std::string> argStore = {PLOVEX_CLI_PATH};
    argStore.insert(argStore.end(), args.begin(), args.end());
    std::vector<std::string> envStore = childEnvironment(options);
    std::vector<char*> argv, envp;
    for (auto& a : argStore)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    for (auto& e : envStore)
        envp.push_back(e.data());
    envp.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (inTerm)
        posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, inTerm->slave.c_str(), O_RDWR | O_NOCTTY, 0);
    else if (options.input)
        posix_spawn_file_actions_adddup2(&actions, in.r, STDIN_FILENO);
    else
        posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, out.w, STDOUT_FILENO);
    if (errTerm)
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errTerm->slave.c_str(), O_RDWR | O_NOCTTY, 0);
    else
        posix_spawn_file_actions_adddup2(&actions, err.w, STDERR_FILENO);
    const int rc = ::posix_spawn(&pid_, PLOVEX_CLI_PATH, &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    closeFd(in.r);
    closeFd(out.w);
    closeFd(err.w);
    outFd_ = out.r;
    if (errTerm) {
        closeFd(err.r);
        errFd_ = errTerm->master;
    } else {
        errFd_ = err.r;
    }
    if (inTerm)
        inTerminal_ = inTerm->master;
    if (rc != 0) {
        closeFd(in.w);
        closeFd(inTerminal_);
        pid_ = -1;
        throw std::runtime_error(std::string("posix_spawn: ") + std::strerror(rc));
    }
    if (inTerm) {
        const std::string& text = *options.terminalInput;
        if (!text.empty() && ::write(inTerminal_, text.data(), text.size()) < 0)
            throw std::runtime_error(std::string("typing into the terminal: ") + std::strerror(errno));
    } else if (options.input) {
        // A child that ends without reading its input must not end this
        // program with SIGPIPE: the write then just fails with EPIPE.
        static const bool pipeSignalIgnored = std::signal(SIGPIPE, SIG_IGN) != SIG_ERR;
        (void)pipeSignalIgnored;
        // Small inputs only: they fit the pipe, so this never waits for the child.
        const std::string& text = *options.input;
        if (!text.empty() && ::write(in.w, text.data(), text.size()) < 0)
            closeFd(in.w);
    }
    closeFd(in.w);
}

CliProcess::~CliProcess()
{
    if (pid_ > 0) {
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
    }
    closeFd(outFd_);
    closeFd(errFd_);
    closeFd(inTerminal_);
}

bool CliProcess::pump(std::chrono::milliseconds timeout)
{
    pollfd fds[2] = {{outFd_, POLLIN, 0}, {errFd_, POLLIN, 0}};
    if (outFd_ < 0 && errFd_ < 0)
        return false;
    const int n = ::poll(fds, 2, static_cast<int>(timeout.count()));
    if (n <= 0)
        return true;
    char buf[4096];
    for (int i = 0; i < 2; ++i) {
        if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP | POLLERR)))
            continue;
        const ssize_t got = ::read(fds[i].fd, buf, sizeof buf);
        if (got > 0)
            (i == 0 ? out_ : err_).append(buf, static_cast<std::size_t>(got));
        else if (got == 0 || errno != EINTR)
            closeFd(i == 0 ? outFd_ : errFd_);
    }
    return outFd_ >= 0 || errFd_ >= 0;
}

std::optional<std::string> CliProcess::readLine(std::chrono::milliseconds timeout)
{
    const auto until = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        if (const auto nl = out_.find('\n', lineStart_); nl != std::string::npos) {
            std::string line = out_.substr(lineStart_, nl - lineStart_);
            lineStart_ = nl + 1;
            return line;
        }
        const auto now = std::chrono::steady_clock::now();
        if (now >= until || outFd_ < 0)
            return std::nullopt;
        pump(std::chrono::duration_cast<std::chrono::milliseconds>(until - now) + std::chrono::milliseconds(1));
    }
}

void CliProcess::signal(int sig)
{
    if (pid_ > 0)
        ::kill(pid_, sig);
}

CliResult CliProcess::finish()
{
    CliResult result;
    for (;;) {
        const auto now = std::chrono::steady_clock::now();
        if (now >= deadline_) {
            result.timedOut = true;
            ::kill(pid_, SIGKILL);
            break;
        }
        if (!pump(std::min(std::chrono::duration_cast<std::chrono::milliseconds>(deadline_ - now) +
                               std::chrono::milliseconds(1),
                           std::chrono::milliseconds(100))))
            break;
    }
    int status = 0;
    ::waitpid(pid_, &status, 0);
    pid_ = -1;
    while (pump(std::chrono::milliseconds(0)))
        if (outFd_ < 0 && errFd_ < 0)
            break;
    result.exitCode = !result.timedOut && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    result.out = out_;
    result.err = err_;
    return result;
}

CliResult runCli(const std::vector<std::string>& args, const CliOptions& options)
{
    CliProcess child(args, options);
    return child.finish();
}

} // namespace clitest
