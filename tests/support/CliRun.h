#pragma once
// Runs the built plovex-cli as a child process, with its output on pipes and
// a private home, config, state and runtime folder (no remembered port of
// the user's, no snapshot in the user's home).

#include "tests/support/PtyPeer.h"

#include <chrono>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace testsupport {

struct CliResult {
    int exitCode = -1; // -1: killed (by the test's time limit or a signal)
    std::string out, err;
};

struct CliOptions {
    std::optional<std::string> terminalInput; // standard input is a terminal, this typed into it
    bool stderrTerminal = false;              // standard error is a terminal
    std::map<std::string, std::string> env;   // added to the child's environment
    // Run as this user and group id, with no supplementary groups (the tests
    // run as root); standard input and error are then /dev/null and a pipe.
    std::optional<unsigned> user;
    std::chrono::milliseconds timeout{20000};
};

class CliProcess {
public:
    CliProcess(const std::vector<std::string>& args, const CliOptions& options = {});
    ~CliProcess(); // kills a child still running
    // The next whole line of standard output, if one comes within timeout.
    std::optional<std::string> readLine(std::chrono::milliseconds timeout);
    void signal(int sig);
    int pid() const { return pid_; }
    // Waits for the end (killing the child after the time allowed).
    CliResult finish();

private:
    bool pump(int timeoutMs);
    // Forks and execs the child as user and group id; 0, or the error number.
    int spawnAs(unsigned id, int out, int err, char* const* argv, char* const* envp);
    int pid_ = -1, out_ = -1, err_ = -1;
    std::unique_ptr<PtyPeer> stdinTerminal_, stderrTerminal_;
    std::string outText_, errText_;
    std::size_t lineStart_ = 0;
    std::chrono::steady_clock::time_point deadline_;
};

// A local time as monitor prints it: ISO 8601 with milliseconds and the UTC offset.
inline const std::string kIsoTime = R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}[+-]\d\d:\d\d)";

inline CliResult runCli(const std::vector<std::string>& args, const CliOptions& options = {})
{
    return CliProcess(args, options).finish();
}

} // namespace testsupport
