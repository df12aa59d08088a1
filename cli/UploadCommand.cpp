// plovex-cli upload: sends a firmware image to the board in 64-byte blocks.

#include "cli/Args.h"
#include "cli/CommandSupport.h"
#include "cli/Commands.h"
#include "cli/PortSession.h"
#include "cli/UploadProgress.h"
#include "link/Console.h"

#include <cstdio>
#include <iostream>
#include <memory>

namespace plovex::cli {

namespace {

const std::string kUsage =
    "usage: plovex-cli upload IMAGE [--port PATH | --simulate]\n"
    "\n"
    "Sends the firmware image file IMAGE (at most 65535 bytes) to the board as\n"
    "program blocks of 64 bytes, one every 0.25 s; an image of n bytes takes\n"
    "n / 64 + 1 blocks. Each block is listed on standard output as it goes\n"
    "(its address, then its bytes in hex). On a terminal, standard error shows\n"
    "a progress bar with the time left.\n"
    "Exit status: 0 sent, 1 the image or the port cannot be used (nothing is\n"
    "sent) or the upload broke off, 2 bad usage.\n"
    "\n" +
    portOptionsHelp();

// Puts the console stream back to standard output at the end of the upload.
struct ConsoleToStdout {
    ~ConsoleToStdout() { setConsoleStream(stdout); }
};

} // namespace

int uploadCommand(const Words& words)
{
    const char* const name = "upload";
    ParsedArgs args;
    PortChoice choice;
    if (auto done = beginPortCommand({name, kUsage, {"IMAGE"}}, words, args, choice))
        return *done;
    const std::string image = args.positional[0];
    if (image.empty())
        return usageError(name, "IMAGE is an empty path", kUsage);

    auto session = openOneShotSession(name, choice);
    if (!session)
        return kExitFailed;

    std::unique_ptr<UploadProgress> bar;
    ConsoleToStdout restore;
    if (stderrIsTerminal()) {
        bar = std::make_unique<UploadProgress>(stderr);
        if (bar->consoleStream())
            setConsoleStream(bar->consoleStream());
    }
    // sendProgram names the file and the reason on standard error when it fails.
    const bool sent = session->port().sendProgram(image, [&bar](std::size_t, std::size_t total) {
        if (bar)
            bar->frameSent(total);
    });
    setConsoleStream(stdout);
    bar.reset();
    return sent ? kExitOk : kExitFailed;
}

} // namespace plovex::cli
