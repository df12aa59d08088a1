// plovex: the desktop monitor for the inclinometer board.

#include "app/CommandLine.h"
#include "app/DesktopApp.h"
#include "app/Screenshot.h"
#include "app/runtime/SignalQuit.h"
#include "platform/Args.h"
#include "sim/SimulatedBoard.h"

#include <QApplication>
#include <QIcon>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>

namespace {

// Every message of the program goes out this way: "plovex: MESSAGE" on standard error.
void tell(const std::string& message)
{
    std::fprintf(stderr, "plovex: %s\n", message.c_str());
}

int fail(const std::string& message, int code)
{
    tell(message);
    return code;
}

} // namespace

int main(int argc, char** argv)
{
    std::vector<std::string> args(argv + 1, argv + argc);
    std::string error;
    const auto options = plovex::parseCommandLine(args, &error);
    if (!options)
        return fail(error + "\nTry 'plovex --help'.", platform::kExitUsage);
    if (options->help) {
        std::fputs(plovex::usageText().c_str(), stdout);
        return platform::kExitOk;
    }
    if (options->version) {
        std::fputs(plovex::versionText().c_str(), stdout);
        return platform::kExitOk;
    }
    if (!plovex::recordFileAllowed(*options, &error)) // nothing is overwritten unasked
        return fail(error, 1);
    if (!plovex::displayAvailable([](const char* name) { return std::getenv(name); })) {
        std::fputs(plovex::noDisplayMessage().c_str(), stderr);
        return platform::kExitFailed;
    }
    if (options->screenshot && !plovex::screenshotWritable(*options->screenshot, &error))
        return fail("cannot save the screenshot: " + error, platform::kExitFailed);

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("plovex"));
    QApplication::setApplicationVersion(QString::fromStdString(plovex::versionText()).trimmed());
    // The installed desktop entry and icon carry this name; the desktop
    // matches the window to them by it.
    QGuiApplication::setDesktopFileName(QStringLiteral(PLOVEX_APP_ID));
    QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral(PLOVEX_APP_ID)));
    plovex::SignalQuit signalQuit;
    if (!signalQuit.installed())
        tell(signalQuit.error()); // the window still runs; a signal then ends it at once

    plovex::DesktopConfig config;
    // The simulated board lives as long as the window; it is stopped (and
    // its links removed) after the application has let go of the port.
    std::unique_ptr<plovex::sim::SimulatedBoard> board;
    if (options->simulate) {
        plovex::sim::BoardOptions boardOptions;
        boardOptions.paced = true; // replies at the line speed, like the real board
        board = std::make_unique<plovex::sim::SimulatedBoard>(boardOptions);
        if (!board->start())
            return fail("cannot start the simulated board: " + board->error(), platform::kExitFailed);
        config.sessionPortPath = board->linkPath();
        config.sessionPortName = board->displayName();
    } else if (options->port) {
        config.sessionPortPath = *options->port;
        config.sessionPortName = std::filesystem::path(*options->port).filename().string();
    }

    config.sessionTiltUnit = options->units;

    int status = 0;
    {
        plovex::DesktopApp desktop(config);
        desktop.start();
        if (options->record)
            desktop.measureTools().recording().start(QString::fromStdString(*options->record));
        if (options->open)
            desktop.fileReview().open(QString::fromStdString(*options->open));
        if (options->screenshot) {
            const QString file = QString::fromStdString(*options->screenshot);
            QTimer::singleShot(static_cast<int>(options->after * 1000.0), &app, [&desktop, file] {
                std::string problem;
                if (!plovex::saveScreenshot(desktop.mainWindow(), file, &problem)) {
                    tell("cannot save the screenshot: " + problem);
                    QApplication::exit(platform::kExitFailed);
                    return;
                }
                QApplication::exit(platform::kExitOk);
            });
        }
        status = QApplication::exec();
    }
    return status;
}
