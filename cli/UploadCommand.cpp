// plovex-cli upload: sends a firmware image to the board in 64-byte blocks.

#include "cli/BoardSnapshot.h"
#include "cli/CommandSupport.h"
#include "cli/Commands.h"
#include "cli/OneShot.h"
#include "cli/UploadProgress.h"
#include "link/BoardFacts.h"
#include "params/SnapshotFolder.h"
#include "platform/Args.h"
#include "platform/Console.h"
#include "platform/UniqueFd.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <iostream>
#include <memory>
#include <optional>
#include <sys/stat.h>

namespace plovex::cli {

namespace uploadcommand {

constexpr const char* kName = "upload";

int run(const Words& words);

} // namespace uploadcommand

const Command uploadCommand{
    .name = uploadcommand::kName,
    .synopsis = "IMAGE [--no-snapshot]",
    .summary = "send a firmware image to the board",
    .usage = " [--port PATH | --simulate]\n"
             "\n"
             "Sends the firmware image file IMAGE (at most 65535 bytes) to the board as\n"
             "program blocks of 64 bytes, one every 0.25 s; an image of n bytes takes\n"
             "n / 64 + 1 blocks. Each block is listed on standard output as it goes\n"
             "(its address, then its bytes in hex). On a terminal, standard error shows\n"
             "a progress bar with the time left. The last line on standard output sums\n"
             "the upload up: the bytes, the blocks and the time it took.\n"
             "Before the first block, the board's 16 EEPROM parameters are read and saved\n"
             "as a snapshot in $XDG_STATE_HOME/plovex/snapshots/ (by default\n"
             "~/.local/state/plovex/snapshots/), whose path standard error shows; if they\n"
             "cannot be read or saved, nothing is sent. 'plovex-cli params restore' puts\n"
             "them back after the update.\n"
             "Exit status: 0 sent, 1 the image or the port cannot be used, the parameters\n"
             "cannot be read or saved (nothing is sent), or the upload broke off, 2 bad usage.\n"
             "\n"
             "  --no-snapshot send without reading and saving the parameters first\n" +
             portOptionsHelp(),
    .run = uploadcommand::run,
};

namespace uploadcommand {

// Whether image is a regular file this process can read, before the port is
// opened for it. False, and the reason in *error, when it is not.
bool imageReadable(const std::string& image, std::string* error)
{
    const platform::UniqueFd file(
        platform::retryEintr([&] { return ::open(image.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK); }));
    struct stat st{};
    if (!file || ::fstat(file.get(), &st) != 0)
        *error = image + ": " + std::strerror(errno);
    else if (S_ISDIR(st.st_mode))
        *error = image + ": is a folder, not an image file";
    else if (!S_ISREG(st.st_mode))
        *error = image + ": is not a regular file";
    else if (st.st_size > board::kLargestImage) // told before the board is asked for its parameters
        *error = image + ": " + std::to_string(st.st_size) + " bytes is more than the " +
                 std::to_string(board::kLargestImage) + " bytes a 16-bit block address can reach";
    else
        return true;
    return false;
}

// "Sent IMAGE to PATH: 100 bytes, 2 blocks, 0.5 s."
std::string summary(const std::string& image, const std::string& path, std::size_t bytes, std::size_t blocks,
                    std::chrono::steady_clock::duration took)
{
    char seconds[32];
    std::snprintf(seconds, sizeof seconds, "%.1f", std::chrono::duration<double>(took).count());
    return "Sent " + image + " to " + path + ": " + std::to_string(bytes) +
           " bytes, " + std::to_string(blocks) + (blocks == 1 ? " block, " : " blocks, ") + seconds + " s.\n";
}

// Saves the board's parameters in the snapshot folder and says where.
// False, after saying why and that nothing is sent, when they cannot be
// read or saved.
bool saveParameters(const char* name, PortSession& session)
{
    const auto board = readBoardParameters(name, session);
    std::string path, error;
    if (!board)
        error = "the parameters cannot be saved before the upload";
    else if (params::saveInFolder(snapshotOf(*board, session), params::snapshotFolder(), &path, &error)) {
        notice(name, "the board's parameters were saved to " + path);
        return true;
    }
    report(name, error + "; nothing was sent (--no-snapshot sends without saving them)", kExitFailed);
    return false;
}

int run(const Words& words)
{
    const OneShot call(uploadCommand, words, {{"IMAGE"}, {}, {"no-snapshot"}});
    if (call.ended())
        return *call.ended();
    const ParsedArgs& args = call.args();
    const std::string image = args.positional[0];
    if (image.empty())
        return usageError(kName, "IMAGE is an empty path");
    if (std::string error; !imageReadable(image, &error))
        return report(kName, error, kExitFailed);

    auto session = call.openPort();
    if (!session)
        return kExitFailed;
    if (!args.has("no-snapshot") && !saveParameters(kName, *session))
        return kExitFailed;

    // On a terminal the block lines pass the progress bar on standard error
    // through a stream of its own, which takes the bar away before each line.
    std::unique_ptr<UploadProgress> bar;
    if (stderrIsTerminal())
        bar = std::make_unique<UploadProgress>(stderr);
    std::optional<platform::ConsoleRedirect> around;
    if (bar && bar->consoleStream())
        around.emplace(platform::consoleLinesTo(bar->consoleStream()));
    // sendProgram calls back once after each block.
    std::size_t blocks = 0, bytes = 0;
    std::string error;
    const auto start = std::chrono::steady_clock::now();
    const bool sent = session->port().sendProgram(
        image,
        [&](std::size_t, std::size_t total) {
            ++blocks;
            bytes = total;
            if (bar)
                bar->frameSent(total);
        },
        &error);
    const auto took = std::chrono::steady_clock::now() - start;
    around.reset();
    bar.reset();
    if (!sent)
        return report(kName, error, kExitFailed);
    writeOut(summary(image, session->path(), bytes, blocks, took));
    return kExitOk;
}

} // namespace uploadcommand

} // namespace plovex::cli
