#include "tests/support/CliRun.h"

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

namespace testsupport {

namespace {

void closeFd(int& fd)
{
    if (fd >= 0)
        ::close(fd);
    fd = -1;
}

std::vector<std::string> childEnvironment(const CliOptions& options)
{
    static TempDir home;
    std::map<std::string, std::string> env;
    for (char** e = environ; *e; ++e)
        if (const char* eq = std::strchr(*e, '='))
            env[std::string(*e, static_cast<std::size_t>(eq - *e))] = eq + 1;
    env["XDG_CONFIG_HOME"] = (home / "config").string();
    env["XDG_RUNTIME_DIR"] = home.path().string();
    for (const auto& [k, v] : options.env)
        env[k] = v;
    std::vector<std::string> out;
    for (const auto& [k, v] : env)
        out.push_back(k + "=" + v);
    return out;
}

} // namespace

CliProcess::CliProcess(const std::vector<std::string>& args, const CliOptions& options)
    : deadline_(std::chrono::steady_clock::now() + options.timeout)
{
    int outPipe[2], errPipe[2];
    if (::pipe2(outPipe, O_CLOEXEC) != 0 || ::pipe2(errPipe, O_CLOEXEC) != 0)
        throw std::runtime_error("pipe2 failed");
    std::vector<std::string> argStore = {PLOVEX_CLI_PATH}, envStore = childEnvironment(options);
    argStore.insert(argStore.end(), args.begin(), args.end());
    std::vector<char*> argv, envp;
    for (auto& a : argStore)
        argv.push_back(a.data());
    for (auto& e : envStore)
        envp.push_back(e.data());
    argv.push_back(nullptr);
    envp.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (options.terminalInput) {
        stdinTerminal_ = std::make_unique<PtyPeer>();
        posix_spawn_file_actions_addopen(&actions, 0, stdinTerminal_->slavePath().c_str(), O_RDWR | O_NOCTTY, 0);
    } else {
        posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    }
    posix_spawn_file_actions_adddup2(&actions, outPipe[1], 1);
    if (options.stderrTerminal) {
        stderrTerminal_ = std::make_unique<PtyPeer>();
        posix_spawn_file_actions_addopen(&actions, 2, stderrTerminal_->slavePath().c_str(), O_RDWR | O_NOCTTY, 0);
    } else {
        posix_spawn_file_actions_adddup2(&actions, errPipe[1], 2);
    }
    const int rc = ::posix_spawn(&pid_, PLOVEX_CLI_PATH, &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    ::close(outPipe[1]);
    ::close(errPipe[1]);
    out_ = outPipe[0];
    err_ = errPipe[0];
    if (stderrTerminal_) {
        closeFd(err_);
        err_ = ::dup(stderrTerminal_->masterFd());
    }
    if (rc != 0) {
        pid_ = -1;
        throw std::runtime_error(std::string("posix_spawn: ") + std::strerror(rc));
    }
    if (stdinTerminal_)
        stdinTerminal_->write(Bytes(options.terminalInput->begin(), options.terminalInput->end()));
}

CliProcess::~CliProcess()
{
    if (pid_ > 0) {
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
    }
    closeFd(out_);
    closeFd(err_);
}

// Reads what is there within timeoutMs; false once both streams are closed.
bool CliProcess::pump(int timeoutMs)
{
    pollfd fds[2] = {{out_, POLLIN, 0}, {err_, POLLIN, 0}};
    if (out_ < 0 && err_ < 0)
        return false;
    if (::poll(fds, 2, timeoutMs) <= 0)
        return true;
    char buf[4096];
    for (int i = 0; i < 2; ++i) {
        if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP | POLLERR)))
            continue;
        const ssize_t got = ::read(fds[i].fd, buf, sizeof buf);
        if (got > 0)
            (i == 0 ? outText_ : errText_).append(buf, static_cast<std::size_t>(got));
        else if (got == 0 || errno != EINTR)
            closeFd(i == 0 ? out_ : err_); // a terminal whose child is gone reads EIO
    }
    return out_ >= 0 || err_ >= 0;
}

std::optional<std::string> CliProcess::readLine(std::chrono::milliseconds timeout)
{
    const auto until = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        if (const auto nl = outText_.find('\n', lineStart_); nl != std::string::npos) {
            std::string line = outText_.substr(lineStart_, nl - lineStart_);
            lineStart_ = nl + 1;
            return line;
        }
        if (std::chrono::steady_clock::now() >= until || out_ < 0)
            return std::nullopt;
        pump(10);
    }
}

void CliProcess::signal(int sig)
{
    if (pid_ > 0)
        ::kill(pid_, sig);
}

CliResult CliProcess::finish()
{
    bool killed = false;
    while (pump(20)) // both streams end with the child
        if (!killed && std::chrono::steady_clock::now() >= deadline_) {
            ::kill(pid_, SIGKILL);
            killed = true;
        }
    int status = 0;
    ::waitpid(pid_, &status, 0);
    pid_ = -1;
    return {!killed && WIFEXITED(status) ? WEXITSTATUS(status) : -1, outText_, errText_};
}

} // namespace testsupport
