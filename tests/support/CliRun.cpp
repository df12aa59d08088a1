#include "tests/support/CliRun.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <pwd.h>
#include <spawn.h>
#include <stdexcept>
#include <sys/wait.h>
#include <utility>
#include <unistd.h>

extern char** environ;

namespace testsupport {

namespace {

// Changes to another user on the way to the program (util-linux, always there on Debian).
const char* const kSetpriv = "/usr/bin/setpriv";

void chownTree(const std::filesystem::path& root, uid_t uid, gid_t gid)
{
    if (::chown(root.c_str(), uid, gid) != 0)
        throw std::runtime_error("cannot hand " + root.string() + " to user " + std::to_string(uid));
    for (const auto& entry : std::filesystem::recursive_directory_iterator(root))
        if (::lchown(entry.path().c_str(), uid, gid) != 0)
            throw std::runtime_error("cannot hand " + entry.path().string() + " to user " + std::to_string(uid));
}

} // namespace

CliProcess::CliProcess(const std::vector<std::string>& args, const CliOptions& options)
    : deadline_(std::chrono::steady_clock::now() + options.timeout)
{
    // No remembered port of the user's leaks in, and no snapshot an upload
    // saves lands in the user's own home.
    static const TempDir sharedHome;
    std::vector<std::string> strings;
    if (options.user) {
        const passwd* pw = ::getpwuid(*options.user);
        const gid_t gid = pw ? pw->pw_gid : static_cast<gid_t>(*options.user);
        ownHome_ = std::make_unique<TempDir>();
        chownTree(ownHome_->path(), *options.user, gid);
        home_ = ownHome_->path();
        strings = {kSetpriv, "--reuid=" + std::to_string(*options.user), "--regid=" + std::to_string(gid),
                   "--clear-groups", "--"};
    } else {
        home_ = sharedHome.path();
    }
    auto env = options.env;
    for (const char* name : {"HOME", "XDG_CONFIG_HOME", "XDG_RUNTIME_DIR", "XDG_STATE_HOME"})
        env.try_emplace(name, home_.string());
    strings.push_back(options.program);
    strings.insert(strings.end(), args.begin(), args.end());
    const std::size_t argc = strings.size();
    auto inherited = [&](const std::string& name) {
        return !env.count(name) &&
               std::find(options.unsetEnv.begin(), options.unsetEnv.end(), name) == options.unsetEnv.end();
    };
    for (char** e = environ; *e; ++e)
        if (inherited(std::string(*e, std::strcspn(*e, "="))))
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
    if (options.user)
        posix_spawn_file_actions_addchdir_np(&actions, home_.c_str());
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
    const int rc = ::posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    ::close(outPipe[1]);
    ::close(errPipe[1]);
    out_.fd = outPipe[0];
    err_.fd = stderrTerminal_ ? (::close(errPipe[0]), ::dup(stderrTerminal_->masterFd())) : errPipe[0];
    if (rc != 0)
        throw std::runtime_error(std::string("posix_spawn: ") + std::strerror(rc));
    if (stdinTerminal_)
        stdinTerminal_->write(Bytes(options.terminalInput->begin(), options.terminalInput->end()));
}

CliProcess::~CliProcess()
{
    if (pid_ > 0) {
        // Asked to end first, as a user would, so that a simulated board
        // removes its links and a monitor says goodbye to its broker.
        deadline_ = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        signal(SIGTERM);
        finish();
    }
    for (int fd : {out_.fd, err_.fd})
        if (fd >= 0)
            ::close(fd);
}

// Reads what is there within timeoutMs; false once both streams have ended.
bool CliProcess::pump(int timeoutMs)
{
    Stream* streams[2] = {&out_, &err_};
    pollfd fds[2] = {{out_.fd, POLLIN, 0}, {err_.fd, POLLIN, 0}};
    if (::poll(fds, 2, timeoutMs) > 0)
        for (int i = 0; i < 2; ++i) {
            char buf[4096];
            const ssize_t got = fds[i].revents ? ::read(fds[i].fd, buf, sizeof buf) : -1;
            if (got > 0)
                streams[i]->text.append(buf, static_cast<std::size_t>(got));
            else if (fds[i].revents && (got == 0 || errno != EINTR)) // a terminal whose child is gone reads EIO
                ::close(std::exchange(streams[i]->fd, -1));
        }
    return out_.fd >= 0 || err_.fd >= 0;
}

std::optional<std::string> CliProcess::nextLine(Stream& s, std::chrono::milliseconds timeout)
{
    const auto until = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        if (const auto nl = s.text.find('\n', s.lineStart); nl != std::string::npos) {
            const std::size_t from = std::exchange(s.lineStart, nl + 1);
            return s.text.substr(from, nl - from);
        }
        if (std::chrono::steady_clock::now() >= until || s.fd < 0)
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
        if (!killed && std::chrono::steady_clock::now() >= deadline_)
            killed = ::kill(pid_, SIGKILL) == 0;
    int status = 0;
    if (pid_ > 0)
        ::waitpid(std::exchange(pid_, -1), &status, 0);
    return {!killed && WIFEXITED(status) ? WEXITSTATUS(status) : -1, out_.text, err_.text};
}

} // namespace testsupport
