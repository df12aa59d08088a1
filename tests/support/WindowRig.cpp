#include "tests/support/WindowRig.h"

#include "app/windows/ParameterTableModel.h"
#include "app/windows/PrefsWindow.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QTableView>

#include <stdexcept>

namespace testsupport {

WindowRig::WindowRig()
{
    ensureApplication();
}

WindowRig::~WindowRig()
{
    app.reset();
}

plovex::sim::SimulatedBoard& WindowRig::board(plovex::sim::BoardOptions options)
{
    auto b = std::make_unique<plovex::sim::SimulatedBoard>(std::move(options));
    if (!b->start())
        throw std::runtime_error("the simulated board did not start: " + b->error());
    boards.push_back(std::move(b));
    return *boards.back();
}

plovex::MainWindow& WindowRig::start(const plovex::sim::SimulatedBoard* thisRunOnly, plovex::AlertOutlet* alert)
{
    plovex::DesktopConfig c;
    c.storedPrefs = &stored;
    if (thisRunOnly) {
        c.sessionPortPath = thisRunOnly->linkPath();
        c.sessionPortName = thisRunOnly->displayName();
    }
    c.discoveryRoots = machine.roots();
    c.portSleeper = std::make_shared<TestClock>(0.1); // a link-down cycle in 0.1 s
    c.idleSleeper = std::make_shared<TestClock>(0.01);
    c.lineTimeoutDeciseconds = 10;
    c.clock = clock.source();
    c.center = &main.center;
    c.queue = &main.queue;
    c.alert = alert;
    app = std::make_unique<plovex::DesktopApp>(c);
    app->start();
    return app->mainWindow();
}

QString WindowRig::cell(int row, int column) const
{
    const auto* m = app->mainWindow().parameterModel();
    return m->data(m->index(row, column)).toString();
}

bool WindowRig::tableShows(const plovex::sim::SimulatedBoard& b) const
{
    for (int r = 0; r < 16; ++r)
        if (cell(r) != QString::number(b.eeprom(r)))
            return false;
    return true;
}

bool WindowRig::linkShows(const QString& text, QColor colour) const
{
    const QLabel* l = app->mainWindow().commState();
    return l->text() == text && l->palette().color(QPalette::WindowText) == colour;
}

void WindowRig::choose(const plovex::sim::SimulatedBoard& b)
{
    app->prefsWindow().portMenu()->setCurrentText(QString::fromStdString(b.displayName()));
    app->prefsWindow().applyButton()->click();
}

} // namespace testsupport
