// plovex-cli simulate: a simulated board on a pseudo-terminal, running until
// it is interrupted.

#include "cli/CommandSupport.h"
#include "cli/Commands.h"
#include "platform/Args.h"
#include "sim/SimulatedBoard.h"

#include <charconv>
#include <chrono>
#include <cmath>
#include <climits>
#include <csignal>
#include <filesystem>
#include <iostream>
#include <optional>
#include <pthread.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace plovex::cli {

namespace simulatecommand {

constexpr const char* kName = "simulate";

int run(const Words& words);

} // namespace simulatecommand

const Command simulateCommand{
    .name = simulatecommand::kName,
    .synopsis = "[--link PATH] [--paced]",
    .summary = "run a simulated board on a pseudo-terminal",
    .usage = " [--image-out FILE] [--seed N] [--diag-peer]\n"
             "                           [--tilt X,Y] [--sweep FROM,TO,SECONDS]\n"
             "                           [--read-only ADDR,...] [--silent] [--stray N] [--cut N]\n"
             "                           [--silent-after S [--answer-again-after S]]\n"
             "\n"
             "Runs a simulated inclinometer board on a pseudo-terminal, prints the path to\n"
             "open as its serial port, and runs until interrupted (Ctrl-C or SIGTERM); then\n"
             "it removes its links and prints what it received on standard error.\n"
             "The board is also listed among the serial ports (plovex-cli ports).\n"
             "\n"
             "  --link PATH       make the port path PATH (a symbolic link to the pseudo-terminal);\n"
             "                    refused while another running board holds it\n"
             "  --paced           send at the line speed the host set (10 bits a byte)\n"
             "  --image-out FILE  write each uploaded firmware image to FILE when its upload ends\n"
             "                    (1 s after the last block, or at a reboot frame)\n"
             "  --seed N          seed of the simulated motion (default 1)\n"
             "  --diag-peer       send diagnostic requests and score the host's replies\n"
             "                    instead of answering polls\n"
             "  --tilt X,Y        hold the board at X degrees about X and Y about Y (each\n"
             "                    -90..90), instead of letting it wander\n"
             "  --sweep FROM,TO,SECONDS\n"
             "                    move the X angle from FROM to TO degrees in SECONDS, back\n"
             "                    in as long, and so on, from the first poll; Y stays at\n"
             "                    the Y of --tilt (0 without it). To cross alarm limits on\n"
             "                    purpose.\n"
             "  --read-only ADDR,...\n"
             "                    ignore EEPROM writes to these addresses (0..255, separated\n"
             "                    by commas), like a board on which a write does not take\n"
             "\n"
             "Faults, to see how a host copes with a board that misbehaves:\n"
             "  --silent          hear and act on every frame, but never reply\n"
             "  --stray N         send N stray bytes (never 0xEE) before every reply\n"
             "  --cut N           send only the first N bytes of every reply (1: one byte,\n"
             "                    then silence)\n"
             "  --silent-after S  stop answering S seconds after the start (fractions allowed),\n"
             "                    keeping the port open, as a board that hangs does\n"
             "  --answer-again-after S\n"
             "                    answer again S seconds after falling silent\n",
    .run = simulatecommand::run,
};

namespace simulatecommand {

// "3,7,12" as addresses 0..255; nullopt when any part is not one.
std::optional<std::vector<int>> parseAddressList(const std::string& text)
{
    std::vector<int> out;
    std::size_t start = 0;
    for (;;) {
        const std::size_t comma = text.find(',', start);
        const auto address = parseInteger(text.substr(start, comma - start), 0, 255);
        if (!address)
            return std::nullopt;
        out.push_back(static_cast<int>(*address));
        if (comma == std::string::npos)
            return out;
        start = comma + 1;
    }
}

void printSummary(const sim::SimulatedBoard& board, bool diagPeer)
{
    const auto c = board.counters();
    using std::to_string;
    if (diagPeer) {
        notice(kName, "diagnostic requests sent " + to_string(c.diagRequestsSent) + ": correct replies " +
                          to_string(c.diagCorrect) + ", wrong " + to_string(c.diagWrong) + ", unanswered " +
                          to_string(c.diagUnanswered) + ", unexpected bytes " + to_string(c.diagUnexpectedBytes));
        return;
    }
    notice(kName, "polls answered " + to_string(c.pollsAnswered) + ", reads answered " + to_string(c.readsAnswered) +
                      ", writes applied " + to_string(c.writesApplied) + ", writes ignored " +
                      to_string(c.writesIgnored) + ", malformed frames " +
                      to_string(c.malformedFrames) + ", bad-checksum blocks " + to_string(c.badChecksumBlocks) +
                      ", blocks " + to_string(c.blocksAccepted) + ", uploads " + to_string(c.uploadsCompleted) +
                      ", reboots " + to_string(c.reboots) + ", stray bytes " + to_string(c.strayBytes));
}

// "1.5,-2" as exactly count decimal numbers; nullopt when the text is not that.
std::optional<std::vector<double>> parseNumberList(const std::string& text, std::size_t count)
{
    std::vector<double> out;
    std::size_t start = 0;
    for (;;) {
        const std::size_t comma = std::min(text.find(',', start), text.size());
        const char* first = text.data() + start + (start < comma && text[start] == '+' ? 1 : 0);
        const char* last = text.data() + comma;
        double v = 0;
        const auto r = std::from_chars(first, last, v, std::chars_format::fixed);
        if (first == last || r.ec != std::errc() || r.ptr != last || !std::isfinite(v))
            return std::nullopt;
        out.push_back(v);
        if (comma == text.size())
            return out.size() == count ? std::optional(out) : std::nullopt;
        start = comma + 1;
    }
}

bool isAngle(double v)
{
    return v >= -90 && v <= 90;
}

std::string numberText(double v)
{
    char text[32];
    std::snprintf(text, sizeof text, "%g", v);
    return text;
}

// What --tilt and --sweep ask of the board's motion; false, with the reason
// in *error, when they are not usable.
bool readMotion(const ParsedArgs& args, sim::MotionPlan& plan, std::string* error)
{
    if (const auto text = args.option("tilt")) {
        const auto xy = parseNumberList(*text, 2);
        if (!xy || !isAngle((*xy)[0]) || !isAngle((*xy)[1])) {
            *error = "--tilt takes two angles from -90 to 90 degrees, X,Y, not '" + *text + "'";
            return false;
        }
        plan = {.kind = sim::MotionPlan::Kind::Hold, .x = (*xy)[0], .y = (*xy)[1]};
    }
    if (const auto text = args.option("sweep")) {
        const auto v = parseNumberList(*text, 3);
        if (!v || !isAngle((*v)[0]) || !isAngle((*v)[1]) || !((*v)[2] > 0)) {
            *error = "--sweep takes FROM,TO,SECONDS: two angles from -90 to 90 degrees and a time above 0, not '" +
                     *text + "'";
            return false;
        }
        plan = {.kind = sim::MotionPlan::Kind::Sweep, .y = plan.y, .from = (*v)[0], .to = (*v)[1], .seconds = (*v)[2]};
    }
    return true;
}

std::string motionText(const sim::MotionPlan& plan)
{
    switch (plan.kind) {
    case sim::MotionPlan::Kind::Hold: return ", held at X " + numberText(plan.x) + "° Y " + numberText(plan.y) + "°";
    case sim::MotionPlan::Kind::Sweep:
        return ", X sweeping from " + numberText(plan.from) + "° to " + numberText(plan.to) + "° in " +
               numberText(plan.seconds) + " s, Y at " + numberText(plan.y) + "°";
    case sim::MotionPlan::Kind::Wander: break;
    }
    return "";
}

// Waits for a stop signal, making the board silent and answering again at
// the times given (seconds from now) meanwhile.
void waitForStop(const sigset_t& stopSignals, sim::SimulatedBoard& board,
                 const std::vector<std::pair<double, bool>>& silences)
{
    using namespace std::chrono;
    const auto start = steady_clock::now();
    std::size_t next = 0;
    for (;;) {
        if (next == silences.size()) {
            int signal = 0;
            if (sigwait(&stopSignals, &signal) == 0)
                return;
            continue;
        }
        const auto due = start + duration_cast<steady_clock::duration>(duration<double>(silences[next].first));
        const auto left = duration_cast<nanoseconds>(due - steady_clock::now());
        if (left.count() <= 0) {
            board.setSilent(silences[next].second);
            notice(kName, silences[next].second ? "the board falls silent" : "the board answers again");
            ++next;
            continue;
        }
        const timespec wait{static_cast<time_t>(left.count() / 1'000'000'000), static_cast<long>(left.count() % 1'000'000'000)};
        if (sigtimedwait(&stopSignals, nullptr, &wait) > 0)
            return;
    }
}

int run(const Words& words)
{
    const auto args = parseArgs(words, {"link", "image-out", "seed", "read-only", "stray", "cut", "silent-after",
                                        "answer-again-after", "tilt", "sweep"},
                                {"paced", "diag-peer", "silent"});
    if (!args.error.empty())
        return usageError(kName, args.error);
    if (args.has("help")) {
        std::cout << helpText(simulateCommand);
        return kExitOk;
    }
    if (!args.positional.empty())
        return usageError(kName, "unexpected argument '" + args.positional.front() + "'");

    sim::BoardOptions options;
    options.paced = args.has("paced");
    if (args.has("diag-peer"))
        options.mode = sim::BoardMode::DiagnosticPeer;
    if (auto link = args.option("link")) {
        if (link->empty())
            return usageError(kName, "--link needs a path");
        options.linkPath = *link;
    }
    if (auto seed = args.option("seed")) {
        const auto n = parseInteger(*seed, 0, LLONG_MAX);
        if (!n)
            return usageError(kName, "--seed takes a whole number from 0 up, not '" + *seed + "'");
        options.seed = static_cast<std::uint64_t>(*n);
    }
    if (auto list = args.option("read-only")) {
        const auto addresses = parseAddressList(*list);
        if (!addresses)
            return usageError(kName, "--read-only takes addresses from 0 to 255 separated by commas, not '" + *list + "'");
        options.readOnly = *addresses;
    }
    options.silent = args.has("silent");
    if (std::string error; !readMotion(args, options.motion, &error))
        return usageError(kName, error);
    if (auto stray = args.option("stray")) {
        const auto n = parseInteger(*stray, 0, 4096);
        if (!n)
            return usageError(kName, "--stray takes a number of bytes from 0 to 4096, not '" + *stray + "'");
        options.strayBeforeReplies = static_cast<std::size_t>(*n);
    }
    if (auto cut = args.option("cut")) {
        const auto n = parseInteger(*cut, 0, 4096);
        if (!n)
            return usageError(kName, "--cut takes a number of bytes from 0 to 4096, not '" + *cut + "'");
        options.replyCut = static_cast<std::size_t>(*n);
    }
    if (auto out = args.option("image-out")) {
        if (out->empty())
            return usageError(kName, "--image-out needs a file name");
        std::error_code ec;
        const auto folder = std::filesystem::absolute(*out, ec).parent_path();
        if (std::filesystem::is_directory(*out, ec))
            return report(kName, *out + ": is a folder", kExitFailed);
        if (::access(folder.c_str(), W_OK) != 0)
            return report(kName, *out + ": cannot write into " + folder.string(), kExitFailed);
        options.imageOut = *out;
    }

    // When the board falls silent and answers again, from the start.
    std::vector<std::pair<double, bool>> silences; // seconds, silent
    if (auto text = args.option("silent-after")) {
        const auto after = parseSeconds(*text);
        if (!after)
            return usageError(kName, "--silent-after takes a number of seconds, not '" + *text + "'");
        silences.emplace_back(*after, true);
    }
    if (auto text = args.option("answer-again-after")) {
        const auto after = parseSeconds(*text);
        if (!after)
            return usageError(kName, "--answer-again-after takes a number of seconds, not '" + *text + "'");
        if (silences.empty())
            return usageError(kName, "--answer-again-after needs --silent-after");
        silences.emplace_back(silences.front().first + *after, false);
    }

    // The signals that end the board are taken by sigwait below, in this
    // thread; the board's thread starts with them blocked too.
    sigset_t stopSignals, previous;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGHUP);
    pthread_sigmask(SIG_BLOCK, &stopSignals, &previous);

    int result = kExitOk;
    {
        sim::SimulatedBoard board(options);
        if (!board.start()) {
            result = report(kName, board.error(), kExitFailed);
        } else {
            std::cout << board.linkPath() << std::endl;
            notice(kName, "board " + board.displayName() + " on " + board.slavePath() +
                              (options.paced ? ", paced" : "") +
                              (options.readOnly.empty() ? "" : ", read-only " + *args.option("read-only")) +
                              (options.mode == sim::BoardMode::DiagnosticPeer ? ", diagnostic peer" : "") +
                              (options.silent ? ", silent" : "") + motionText(options.motion) +
                              (options.strayBeforeReplies
                                   ? ", " + std::to_string(options.strayBeforeReplies) + " stray bytes before every reply"
                                   : "") +
                              (options.replyCut ? ", replies cut after " + std::to_string(*options.replyCut) + " bytes"
                                                : "") +
                              "; stop with Ctrl-C");
            waitForStop(stopSignals, board, silences);
            board.stop();
            printSummary(board, options.mode == sim::BoardMode::DiagnosticPeer);
            // A failure while running is told, but the run itself went as asked.
            if (!board.error().empty())
                report(kName, board.error(), kExitFailed);
        }
    }
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    return result;
}

} // namespace simulatecommand

} // namespace plovex::cli
