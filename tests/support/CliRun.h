#pragma once
// Runs a built program of ours (plovex-cli unless told otherwise; the window,
// plovex, too) as a child process, with its output on pipes and a private
// home, config, state and runtime folder (no remembered port of the user's,
// no snapshot in the user's home).

#include "tests/support/PtyPeer.h"

#include <chrono>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace testsupport {

struct CliResult {
    int exitCode = -1; // -1: killed (by the test's time limit or a signal)
    std::string out, err;
};

struct CliOptions {
    std::string program = PLOVEX_CLI_PATH;
    std::optional<std::string> terminalInput; // standard input is a terminal, this typed into it
    bool stderrTerminal = false;              // standard error is a terminal
    std::map<std::string, std::string> env;   // added to the child's environment
    std::vector<std::string> unsetEnv;        // taken out of it
    // Runs the child as this user (and the user's own group, no others),
    // starting in a home of its own that the user owns.
    std::optional<uid_t> user;
    std::chrono::milliseconds timeout{90000}; // from the start; a test's own limit is 120 s
};

class CliProcess {
public:
    CliProcess(const std::vector<std::string>& args, const CliOptions& options = {});
    ~CliProcess(); // ends a child still running: SIGTERM, then SIGKILL
    // The next whole line of standard output (or error), if one comes within timeout.
    std::optional<std::string> readLine(std::chrono::milliseconds timeout) { return nextLine(out_, timeout); }
    std::optional<std::string> readErrorLine(std::chrono::milliseconds timeout) { return nextLine(err_, timeout); }
    void signal(int sig);
    // Waits for the end (killing the child after the time allowed).
    CliResult finish();
    // The child's home folder, and its process id (while it runs).
    const std::filesystem::path& home() const { return home_; }
    pid_t pid() const { return pid_; }

private:
    struct Stream {
        int fd = -1;
        std::string text;
        std::size_t lineStart = 0;
    };
    std::optional<std::string> nextLine(Stream& s, std::chrono::milliseconds timeout);
    bool pump(int timeoutMs);
    int pid_ = -1;
    Stream out_, err_;
    std::unique_ptr<PtyPeer> stdinTerminal_, stderrTerminal_;
    std::unique_ptr<TempDir> ownHome_; // an unprivileged child's
    std::filesystem::path home_;
    std::chrono::steady_clock::time_point deadline_;
};

// A local time as monitor prints it: ISO 8601 with milliseconds and the UTC offset.
inline const std::string kIsoTime = R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}[+-]\d\d:\d\d)";

inline CliResult runCli(const std::vector<std::string>& args, const CliOptions& options = {})
{
    return CliProcess(args, options).finish();
}

} // namespace testsupport
