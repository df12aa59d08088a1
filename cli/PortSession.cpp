#include "cli/PortSession.h"

#include "cli/CommandSupport.h"

#include "link/BoardFacts.h"
#include "platform/Preferences.h"
#include "sim/SimulatedBoard.h"

#include <filesystem>
#include <iostream>

namespace plovex::cli {

std::string portOptionsHelp()
{
    return "  --port PATH   use the serial device at PATH for this run (default: the port\n"
           "                remembered by plovex; 'plovex-cli ports' lists the ports)\n"
           "  --simulate    use a simulated board started inside this command\n";
}

std::set<std::string> portValueOptions(std::set<std::string> own)
{
    own.insert("port");
    return own;
}

std::set<std::string> portFlagOptions(std::set<std::string> own)
{
    own.insert("simulate");
    return own;
}

bool readPortChoice(const ParsedArgs& args, PortChoice& choice, std::string* error)
{
    choice.path = args.option("port");
    choice.simulate = args.has("simulate");
    if (choice.path && choice.simulate)
        *error = "--port and --simulate cannot be used together";
    else if (choice.path && choice.path->empty())
        *error = "--port needs a device path";
    else if (choice.path || choice.simulate)
        return true;
    else {
        const auto& prefs = platform::FilePreferences::standardUserDefaults();
        choice.path = prefs.objectForKey(board::kPrefSerialPortPath);
        choice.name = prefs.objectForKey(board::kPrefSerialPortName).value_or("");
        if (choice.path && !choice.path->empty())
            return true;
        *error = "no port given and none remembered; pass one of the ports 'plovex-cli ports' lists with --port PATH";
    }
    return false;
}

PortSession::PortSession() = default;

PortSession::~PortSession()
{
    port_.reset();
    board_.reset();
}

std::unique_ptr<PortSession> PortSession::create(const PortChoice& choice, commPortOptions options, std::string* error)
{
    std::unique_ptr<PortSession> session(new PortSession);
    std::string path, name;
    if (choice.simulate) {
        sim::BoardOptions board;
        board.paced = true; // at 38400 baud, like the real line
        board.mode = choice.simulatedPeer ? sim::BoardMode::DiagnosticPeer : sim::BoardMode::Board;
        session->board_ = std::make_unique<sim::SimulatedBoard>(board);
        if (!session->board_->start()) {
            if (error)
                *error = "the simulated board could not start: " + session->board_->error();
            return nullptr;
        }
        path = session->board_->linkPath();
        name = session->board_->displayName();
    } else {
        path = choice.path.value_or("");
        name = choice.name.empty() ? std::filesystem::path(path).filename().string() : choice.name;
    }

    session->port_ = std::make_unique<commPort>(std::move(options));
    commPort& port = *session->port_;
    port.setCommPortPath(path);
    if (!name.empty())
        port.setCommPortName(name);
    port.setBaudRate(board::kLineSpeed);
    session->path_ = port.commPortPath();
    return session;
}

bool PortSession::open(std::string* error)
{
    if (port_->OpenPort() >= 0)
        return true;
    if (error)
        *error = port_->openFailure().reason;
    return false;
}

std::optional<int> beginPortCommand(const Command& command, const PortSyntax& syntax, const Words& words,
                                    ParsedArgs& args, PortChoice& choice)
{
    args = parseArgs(words, portValueOptions(syntax.valueOptions), portFlagOptions(syntax.flagOptions));
    if (args.error.empty() && args.has("help")) {
        std::cout << helpText(command);
        return kExitOk;
    }
    if (!args.error.empty())
        return usageError(command.name, args.error);
    const std::size_t given = args.positional.size(), wanted = syntax.words.size();
    if (given < wanted) {
        std::string missing;
        for (std::size_t i = given; i < wanted; ++i)
            missing += (i > given ? " and " : "") + syntax.words[i];
        return usageError(command.name, missing + (wanted - given > 1 ? " are missing" : " is missing"));
    }
    if (given > wanted)
        return usageError(command.name, "unexpected argument '" + args.positional[wanted] + "'");
    if (std::string error; !readPortChoice(args, choice, &error))
        return usageError(command.name, error);
    return std::nullopt;
}

} // namespace plovex::cli
