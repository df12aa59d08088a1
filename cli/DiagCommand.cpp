// plovex-cli diag: runs the link's diagnostic loop, which listens on the
// line, logs every byte it hears and answers the five diagnostic requests.

#include "cli/CommandSupport.h"
#include "cli/Commands.h"
#include "cli/MainLoop.h"
#include "cli/PortSession.h"
#include "link/Records.h"
#include "platform/Args.h"
#include "sim/SimulatedBoard.h"

#include <iostream>

namespace plovex::cli {

namespace diagcommand {

constexpr const char* kName = "diag";

int run(const Words& words);

} // namespace diagcommand

const Command diagCommand{
    .name = diagcommand::kName,
    .synopsis = "[--seconds S]",
    .summary = "answer the diagnostic requests on the line",
    .usage = " [--port PATH | --simulate]\n"
             "\n"
             "Opens the port and runs the diagnostic loop on it for S seconds, or until\n"
             "interrupted (SIGINT, SIGTERM): instead of polling the board it listens,\n"
             "logs every byte it receives and answers the five diagnostic requests.\n"
             "Its log entries go to standard error. While the port is not open the loop\n"
             "tries to open it once a second, and each try is reported on standard error.\n"
             "With --simulate the simulated board plays the requesting side.\n"
             "Exit status: 0 done, 1 the port never opened during the run, 2 bad usage.\n"
             "\n"
             "  --seconds S   stop after S seconds (S > 0, fractions allowed)\n" +
             portOptionsHelp(),
    .run = diagcommand::run,
};

namespace diagcommand {

int run(const Words& words)
{
    ParsedArgs args;
    PortChoice choice;
    if (auto done = beginPortCommand(diagCommand, {{}, {"seconds"}}, words, args, choice))
        return *done;
    std::optional<double> seconds;
    if (const auto text = args.option("seconds")) {
        seconds = parseSeconds(*text);
        if (!seconds || *seconds <= 0)
            return usageError(kName, "--seconds needs a number of seconds above 0, not '" + *text + "'");
    }
    choice.simulatedPeer = true;

    MainLoop main;
    commPortOptions options;
    options.loop = LoopKind::Diagnostic;
    options.sink = &main.sink();
    std::string error;
    auto session = PortSession::create(choice, options, &error);
    if (!session)
        return report(kName, error, kExitFailed);

    // The loop hands over a record for each cycle that found the line closed
    // and tried to open it (an attempt that succeeded shows as well).
    const std::string path = session->path();
    main.observe(records::kInclinoData, [&](const platform::Notification& n) {
        if (n.object)
            notice(kName, path + " was closed; open attempt " + std::to_string(n.object->intValue("packetCount")));
    });

    // Opened at the start as the application opens its port; when that
    // fails the loop itself keeps trying, as the reason says (in the
    // monitor's words).
    bool everOpen = session->open(nullptr);
    if (!everOpen)
        notice(kName, session->port().openFailure().message + " Trying again once a second.");
    main.run(seconds, [&] { everOpen = everOpen || session->port().portOpenOK() != 0; });
    session->closePort(); // no log entry comes after the summary
    if (const auto* peer = session->simulatedBoard()) {
        const auto c = peer->counters();
        notice(kName, "the simulated peer sent " + std::to_string(c.diagRequestsSent) + " requests: " +
                         std::to_string(c.diagCorrect) + " answered right, " + std::to_string(c.diagWrong) + " wrong, " +
                         std::to_string(c.diagUnanswered) + " unanswered");
    }
    if (!everOpen)
        return report(kName, path + " never opened", kExitFailed);
    return kExitOk;
}

} // namespace diagcommand

} // namespace plovex::cli
