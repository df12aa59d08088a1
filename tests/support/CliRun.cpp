#include "tests/support/CliRun.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <spawn.h>
#include <stdexcept>
#include <sys/wait.h>
#include <utility>
#include <unistd.h>

extern char** environ;

namespace testsupport {

CliProcess::CliProcess(const std::vector<std::string>& args, const CliOptions& options)
    : deadline_(std::chrono::steady_clock::now() + options.timeout)
{
    // No remembered port of the user's leaks in, and no snapshot an upload
    // saves lands in the user's own home.
    static const TempDir home;
    auto env = options.env;
    for (const char* name : {"HOME", "XDG_CONFIG_HOME", "XDG_RUNTIME_DIR", "XDG_STATE_HOME"})
        env.try_emplace(name, home.path().string());
    std::vector<std::string> strings = {PLOVEX_CLI_PATH};
    strings.insert(strings.end(), args.begin(), args.end());
    const std::size_t argc = strings.size();
    for (char** e = environ; *e; ++e)
        if (!env.count(std::string(*e, std::strcspn(*e, "="))))
            strings.push_back(*e);
    for (const auto& [k, v] : env)
        strings.push_back(k + "=" + v);
    std::vector<char*> argv, envp;
    for (std::size_t i = 0; i < strings.size(); ++i)
        (i < argc ? argv : envp).push_back(strings[i].data());
    argv.push_back(nullptr);
    envp.push_back(nullptr);

    int outPipe[2], errPipe[2];
    if (::pipe2(outPipe, O_CLOEXEC) || ::pipe2(errPipe, O_CLOEXEC))
        throw std::runtime_error("pipe2 failed");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (options.terminalInput)
        stdinTerminal_ = std::make_unique<PtyPeer>();
    posix_spawn_file_actions_addopen(&actions, 0, stdinTerminal_ ? stdinTerminal_->slavePath().c_str() : "/dev/null",
                                     O_RDWR | O_NOCTTY, 0);
    posix_spawn_file_actions_adddup2(&actions, outPipe[1], 1);
    if (options.stderrTerminal) {
        stderrTerminal_ = std::make_unique<PtyPeer>();
        posix_spawn_file_actions_addopen(&actions, 2, stderrTerminal_->slavePath().c_str(), O_RDWR | O_NOCTTY, 0);
    } else {
        posix_spawn_file_actions_adddup2(&actions, errPipe[1], 2);
    }
    int rc = 0;
    if (options.user)
        rc = spawnAs(*options.user, outPipe[1], errPipe[1], argv.data(), envp.data());
    else
        rc = ::posix_spawn(&pid_, PLOVEX_CLI_PATH, &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    ::close(outPipe[1]);
    ::close(errPipe[1]);
    out_ = outPipe[0];
    err_ = stderrTerminal_ ? (::close(errPipe[0]), ::dup(stderrTerminal_->masterFd())) : errPipe[0];
    if (rc != 0)
        throw std::runtime_error(std::string("posix_spawn: ") + std::strerror(rc));
    if (stdinTerminal_)
        stdinTerminal_->write(Bytes(options.terminalInput->begin(), options.terminalInput->end()));
}

int CliProcess::spawnAs(unsigned id, int out, int err, char* const* argv, char* const* envp)
{
    pid_ = ::fork();
    if (pid_ < 0)
        return errno;
    if (pid_ == 0) { // the child: only calls that are safe after a fork, until the exec
        const int in = ::open("/dev/null", O_RDONLY | O_NOCTTY);
        if (in < 0 || ::dup2(in, 0) < 0 || ::dup2(out, 1) < 0 || ::dup2(err, 2) < 0 || ::setgroups(0, nullptr) ||
            ::setgid(id) || ::setuid(id))
            ::_exit(127);
        ::execve(PLOVEX_CLI_PATH, argv, envp);
        ::_exit(127);
    }
    return 0;
}

CliProcess::~CliProcess()
{
    if (pid_ > 0 && ::kill(pid_, SIGKILL) == 0)
        ::waitpid(pid_, nullptr, 0);
    for (int fd : {out_, err_})
        if (fd >= 0)
            ::close(fd);
}

// Reads what is there within timeoutMs; false once both streams have ended.
bool CliProcess::pump(int timeoutMs)
{
    pollfd fds[2] = {{out_, POLLIN, 0}, {err_, POLLIN, 0}};
    if (::poll(fds, 2, timeoutMs) > 0)
        for (int i = 0; i < 2; ++i) {
            char buf[4096];
            const ssize_t got = fds[i].revents ? ::read(fds[i].fd, buf, sizeof buf) : -1;
            if (got > 0)
                (i ? errText_ : outText_).append(buf, static_cast<std::size_t>(got));
            else if (fds[i].revents && (got == 0 || errno != EINTR)) // a terminal whose child is gone reads EIO
                ::close(std::exchange(i ? err_ : out_, -1));
        }
    return out_ >= 0 || err_ >= 0;
}

std::optional<std::string> CliProcess::readLine(std::chrono::milliseconds timeout)
{
    const auto until = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        if (const auto nl = outText_.find('\n', lineStart_); nl != std::string::npos) {
            const std::size_t from = std::exchange(lineStart_, nl + 1);
            return outText_.substr(from, nl - from);
        }
        if (std::chrono::steady_clock::now() >= until || out_ < 0)
            return std::nullopt;
        pump(10);
    }
}

void CliProcess::signal(int sig)
{
    ::kill(pid_, sig);
}

CliResult CliProcess::finish()
{
    bool killed = false;
    while (pump(20)) // both streams end with the child
        if (!killed && std::chrono::steady_clock::now() >= deadline_)
            killed = ::kill(pid_, SIGKILL) == 0;
    int status = 0;
    ::waitpid(std::exchange(pid_, -1), &status, 0);
    return {!killed && WIFEXITED(status) ? WEXITSTATUS(status) : -1, outText_, errText_};
}

} // namespace testsupport
