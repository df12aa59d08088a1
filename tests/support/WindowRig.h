#pragma once
// The desktop application offscreen, as the window suites run it: on a
// made-up machine without serial ports of its own, whose runtime folder
// lists the simulated boards the test starts; preferences in memory; the
// records on the test's main side; the link's health on a clock the test
// moves.
//
//   class Window : public WindowRig, public ::testing::Test {};
//   TEST_F(Window, ...) {
//       auto& b = board();               // a simulated board, listed as a port
//       start(&b);                       // the window, on it for this run
//       spinUntil([&] { return linkShows("Comms OK", Qt::green); }, 30s);
//   }

#include "app/DesktopApp.h"
#include "sim/SimulatedBoard.h"
#include "tests/support/FakeSysfs.h"
#include "tests/support/LinkRig.h"
#include "tests/support/ManualClock.h"
#include "tests/support/MemoryPrefs.h"
#include "tests/support/QtApp.h"

#include <QColor>
#include <QString>

#include <memory>
#include <vector>

namespace testsupport {

class WindowRig {
public:
    WindowRig();
    virtual ~WindowRig(); // the application lets go of the ports before the boards stop
    WindowRig(const WindowRig&) = delete;
    WindowRig& operator=(const WindowRig&) = delete;

    // A running board, listed among the ports.
    plovex::sim::SimulatedBoard& board(plovex::sim::BoardOptions options = {});
    // Makes and starts the application, on thisRunOnly for this run when
    // given; alert, when given, answers the write's question.
    plovex::MainWindow& start(const plovex::sim::SimulatedBoard* thisRunOnly, plovex::AlertOutlet* alert = nullptr);
    plovex::MainWindow& w() { return app->mainWindow(); }

    // The parameter table's text at row and column (2: the value).
    QString cell(int row, int column = 2) const;
    // Whether the table shows b's 16 parameters.
    bool tableShows(const plovex::sim::SimulatedBoard& b) const;
    // Whether the link label shows text in colour.
    bool linkShows(const QString& text, QColor colour) const;
    // Picks b in the preferences and applies it.
    void choose(const plovex::sim::SimulatedBoard& b);
    // What the window's timer does: the controller's tick and the health strip.
    void tick() { app->showLinkHealth(); }

    FakeSysfs machine;
    ScopedEnv runtime{"XDG_RUNTIME_DIR", machine.runtime().string()};
    MemoryPrefs stored;
    MainSide main;
    ManualClock clock;
    std::vector<std::unique_ptr<plovex::sim::SimulatedBoard>> boards;
    std::unique_ptr<plovex::DesktopApp> app;
};

} // namespace testsupport
