#pragma once
// How every plovex-cli command that talks to the board gets its port: the
// way the application does. The device is, in this order of precedence,
//   --simulate     a simulated board started inside this process, reached
//                  through its stable link;
//   --port PATH    PATH, for this run only;
//   otherwise      the port remembered in the user's preferences
//                  ("serialPortPath", with "serialPortName"); with none
//                  remembered the command stops and says so (bad usage),
//                  since no fixed device path fits every Linux machine.
// The commPort is made with the loop the command needs, given the path and
// name and 38400 baud, and opened with OpenPort. No command stores anything
// in the preferences.

#include "cli/CommandSupport.h"
#include "cli/Commands.h"
#include "link/commPort.h"

#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace plovex::sim {
class SimulatedBoard;
}

namespace plovex::cli {

// The help lines of the two port options, for the end of the commands' usage texts.
std::string portOptionsHelp();

// The option names for parseArgs: the port options plus a command's own.
std::set<std::string> portValueOptions(std::set<std::string> own = {});
std::set<std::string> portFlagOptions(std::set<std::string> own = {});

struct PortChoice {
    std::optional<std::string> path; // --port PATH, or the remembered path
    std::string name;                // the remembered name; empty: the path's file name
    bool simulate = false;           // --simulate
    // With --simulate: the board plays the requesting side of the
    // diagnostic exchange instead of answering polls.
    bool simulatedPeer = false;
};

// Takes --port and --simulate from args, and without either the remembered
// port. False, and the reason in *error, when they cannot be used (both
// given, an empty path, neither given and no port remembered).
bool readPortChoice(const ParsedArgs& args, PortChoice& choice, std::string* error);

class PortSession {
public:
    // Starts the simulated board when asked and makes the commPort (which
    // starts the loop options ask for), with path, name and 38400 baud. The
    // line is not opened yet. nullptr and *error when the simulated board
    // cannot start.
    static std::unique_ptr<PortSession> create(const PortChoice& choice, commPortOptions options, std::string* error);
    // Ends the loop, closes the line, then stops a simulated board.
    ~PortSession();
    PortSession(const PortSession&) = delete;
    PortSession& operator=(const PortSession&) = delete;

    // OpenPort. False, and *error saying why (the link's reason for a caller
    // that tries once: it names the path and what to do), when the line
    // could not be opened.
    bool open(std::string* error);

    // Ends the loop and closes the line, before the session goes; port() is
    // not to be used after it. A simulated board still runs.
    void closePort() { port_.reset(); }

    commPort& port() { return *port_; }
    // The device path in use.
    const std::string& path() const { return path_; }
    // The simulated board of --simulate; null otherwise.
    const sim::SimulatedBoard* simulatedBoard() const { return board_.get(); }

private:
    PortSession();

    std::unique_ptr<sim::SimulatedBoard> board_; // outlives the port
    std::unique_ptr<commPort> port_;
    std::string path_;
};

// What a port command takes besides --port and --simulate.
struct PortSyntax {
    std::vector<std::string> words;          // the positional words it takes, e.g. {"ADDR", "VALUE"}
    std::set<std::string> valueOptions = {}; // its own options
    std::set<std::string> flagOptions = {};  // its own flags
};

// The start every port command shares: parses the words, prints the usage for
// --help, reports bad options and missing or extra words, and reads the port
// choice. Returns the exit code when the command ends here.
std::optional<int> beginPortCommand(const Command& command, const PortSyntax& syntax, const Words& words,
                                    ParsedArgs& args, PortChoice& choice);

} // namespace plovex::cli
