#pragma once
// Runs the built plovex-cli as a child process with its standard streams on
// pipes, in an environment of its own (a private config and runtime folder,
// so no remembered port of the user's leaks in).

#include <chrono>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace clitest {

struct CliResult {
    int exitCode = -1;     // -1: killed by a signal or timed out
    bool timedOut = false; // killed after the time allowed
    std::string out, err;
};

struct CliOptions {
    // Fed to standard input, which is then closed; nullopt: /dev/null.
    std::optional<std::string> input;
    // Standard input is a terminal (a pseudo-terminal) and this is typed into
    // it; takes the place of input.
    std::optional<std::string> terminalInput;
    // Standard error is a terminal (a pseudo-terminal) rather than a pipe.
    bool stderrTerminal = false;
    // Set in the child's environment (added to or replacing the inherited variables).
    std::map<std::string, std::string> env;
    std::chrono::milliseconds timeout{20000};
};

class CliProcess {
public:
    // Starts plovex-cli with args. Throws when it cannot be started.
    CliProcess(const std::vector<std::string>& args, const CliOptions& options);
    ~CliProcess(); // kills a child still running
    CliProcess(const CliProcess&) = delete;
    CliProcess& operator=(const CliProcess&) = delete;

    // Waits up to timeout for a whole line on standard output; the line without its newline.
    std::optional<std::string> readLine(std::chrono::milliseconds timeout);
    void signal(int sig);
    // Waits for the end (killing the child when the time allowed has passed)
    // and returns what it wrote, all of it.
    CliResult finish();

private:
    // Reads what is there, waiting at most timeout; false once both pipes are closed.
    bool pump(std::chrono::milliseconds timeout);

    pid_t pid_ = -1;
    int outFd_ = -1, errFd_ = -1;
    int inTerminal_ = -1; // master of the terminal on standard input
    std::string out_, err_;
    std::size_t lineStart_ = 0;
    std::chrono::steady_clock::time_point deadline_;
};

// Runs plovex-cli to the end.
CliResult runCli(const std::vector<std::string>& args, const CliOptions& options = {});

// A private folder of this test program, removed at its end. Its "config"
// and "runtime" folders are every child's XDG_CONFIG_HOME and XDG_RUNTIME_DIR.
const std::filesystem::path& isolatedHome();

} // namespace clitest
