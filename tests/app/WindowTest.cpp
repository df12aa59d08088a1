// The whole desktop application, offscreen, against simulated boards: the
// live display, the parameter table, the confirmed write and the change of
// port, through the real windows, controller, commPort and hand-over.

#include "app/CommandLine.h"
#include "app/DesktopApp.h"
#include "gauge/plovexGaugeView.h"
#include "platform/NotificationCenter.h"
#include "platform/NotificationQueue.h"
#include "platform/Sleeper.h"
#include "sim/SimulatedBoard.h"
#include "tests/app/AppTestSupport.h"
#include "tests/support/TestSupport.h"

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTableView>

#include <gtest/gtest.h>

#include <set>

namespace {

using namespace std::chrono_literals;
using plovex::sim::SimulatedBoard;

// A private runtime folder (where the boards publish themselves), an
// in-memory preference store and a notification path of the test's own.
class WindowTest : public ::testing::Test {
protected:
    WindowTest()
    {
        apptest::ensureApplication();
        std::filesystem::create_directories(dir_ / "sys" / "class" / "tty");
    }

    ~WindowTest() override
    {
        app_.reset(); // lets go of the ports before the boards stop
        boards_.clear();
    }

    SimulatedBoard& addBoard(std::uint64_t seed)
    {
        plovex::sim::BoardOptions o;
        o.paced = true;
        o.seed = seed;
        boards_.push_back(std::make_unique<SimulatedBoard>(o));
        SimulatedBoard& b = *boards_.back();
        EXPECT_TRUE(b.start()) << b.error();
        return b;
    }

    // Starts the application; a board given is this run's port, as --simulate makes it.
    plovex::DesktopApp& startApp(const SimulatedBoard* session, plovex::AlertOutlet* alert)
    {
        plovex::DesktopConfig c;
        c.storedPrefs = &stored_;
        if (session) {
            c.sessionPortPath = session->linkPath();
            c.sessionPortName = session->displayName();
        }
        c.discoveryRoots = {dir_ / "sys", dir_ / "dev", platform::simulatorLinkDir()};
        c.portSleeper = std::make_shared<platform::ScaledSleeper>(0.1);
        c.idleSleeper = std::make_shared<platform::ScaledSleeper>(0.01);
        c.lineTimeoutDeciseconds = 2;
        c.center = &center_;
        c.queue = &queue_;
        c.alert = alert;
        app_ = std::make_unique<plovex::DesktopApp>(c);
        app_->start();
        return *app_;
    }

    QString cell(int row, int column) const
    {
        auto* m = app_->mainWindow().parameterTable()->model();
        return m->data(m->index(row, column)).toString();
    }

    bool tableShows(const SimulatedBoard& b) const
    {
        for (int r = 0; r < 16; ++r)
            if (cell(r, 2) != QString::number(b.eeprom(r)))
                return false;
        return true;
    }

    bool commsOk() const { return app_->mainWindow().commState()->text() == "Comms OK"; }
    QColor commColour() const { return app_->mainWindow().commState()->palette().color(QPalette::WindowText); }

    testsupport::TempDir dir_;
    testsupport::ScopedEnv runtime_{"XDG_RUNTIME_DIR", dir_.path().string()};
    apptest::MemoryPreferences stored_;
    platform::NotificationCenter center_;
    platform::NotificationQueue queue_{center_};
    std::vector<std::unique_ptr<SimulatedBoard>> boards_;
    std::unique_ptr<plovex::DesktopApp> app_;
};

TEST_F(WindowTest, LiveDisplayFollowsTheSimulatedBoard)
{
    SimulatedBoard& board = addBoard(7);
    apptest::ScriptedAlert alert(0);
    plovex::DesktopApp& app = startApp(&board, &alert);
    plovex::MainWindow& w = app.mainWindow();

    EXPECT_TRUE(w.isVisible());
    EXPECT_TRUE(w.windowTitle().endsWith(QString::fromStdString(board.linkPath()))) << w.windowTitle().toStdString();
    EXPECT_FALSE(w.xGauge()->gaugeImage().isNull()); // the dial is linked in
    EXPECT_FALSE(w.yGauge()->gaugeImage().isNull());
    // This run's port counts as remembered: nobody is asked for one.
    EXPECT_FALSE(app.prefsWindow().isVisible());
    EXPECT_EQ(app.prefsWindow().portMenu()->currentText().toStdString(), board.displayName());

    ASSERT_TRUE(apptest::spinUntil([&] { return commsOk(); }, 5s)) << w.commState()->text().toStdString();
    EXPECT_EQ(commColour(), QColor(0, 255, 0));

    std::set<QString> xs, ys;
    ASSERT_TRUE(apptest::spinUntil(
        [&] {
            xs.insert(w.xReadout()->text());
            ys.insert(w.yReadout()->text());
            return xs.size() >= 4 && ys.size() >= 4;
        },
        5s));
    // Needle and number show the same angle.
    EXPECT_FLOAT_EQ(app.xReadout().floatValue(), w.xGauge()->angle());
    EXPECT_FLOAT_EQ(app.yReadout().floatValue(), w.yGauge()->angle());
    EXPECT_TRUE(w.xReadout()->text().endsWith("°"));
    EXPECT_TRUE(w.temperature()->text().endsWith(" °C"));
    EXPECT_NE(w.temperature()->text(), "0.0 °C");

    ASSERT_TRUE(apptest::spinUntil([&] { return tableShows(board); }, 5s));
    EXPECT_EQ(cell(0, 0), "0");
    EXPECT_EQ(cell(0, 1), "Status Bits");
    EXPECT_EQ(cell(7, 1), "data selector");
    EXPECT_EQ(cell(15, 0), "15");
    EXPECT_EQ(cell(15, 1), "");

    // Nothing was stored for a port used only in this run.
    EXPECT_EQ(stored_.writes, 0);
}

TEST_F(WindowTest, ConfirmedWriteReachesTheEepromAndComesBackInTheTable)
{
    SimulatedBoard& board = addBoard(11);
    apptest::ScriptedAlert alert(1);
    plovex::DesktopApp& app = startApp(&board, &alert);
    plovex::MainWindow& w = app.mainWindow();
    ASSERT_TRUE(apptest::spinUntil([&] { return tableShows(board); }, 5s));

    w.parameterTable()->selectRow(1);
    EXPECT_EQ(w.numberField()->text(), "1");
    EXPECT_EQ(w.descriptionField()->text(), "Sx Primary Gain");
    EXPECT_EQ(w.valueField()->text(), QString::number(board.eeprom(1)));

    const std::string before = std::to_string(board.eeprom(1));
    w.valueField()->setText("4464");
    w.writeButton()->click();
    ASSERT_EQ(alert.shown.size(), 1u);
    EXPECT_EQ(alert.shown[0].messageText, "Write to EEPROM");
    EXPECT_EQ(alert.shown[0].informativeText, "Do you really want to write 4464 to parameter 1 - Sx Primary Gain?\n"
                                              "The board holds " + before + " now.");

    ASSERT_TRUE(apptest::spinUntil([&] { return board.eeprom(1) == 4464; }, 5s));
    EXPECT_TRUE(apptest::spinUntil([&] { return cell(1, 2) == "4464"; }, 5s));
    EXPECT_EQ(board.counters().writesApplied, 1u);
    EXPECT_EQ(board.frames(plovex::sim::FrameKind::Write).size(), 1u);
}

TEST_F(WindowTest, TheMessageBoxWritesOnWriteAndNothingOnCancel)
{
    SimulatedBoard& board = addBoard(12);
    plovex::DesktopApp& app = startApp(&board, nullptr); // the real QMessageBox
    plovex::MainWindow& w = app.mainWindow();
    ASSERT_TRUE(apptest::spinUntil([&] { return tableShows(board); }, 5s));

    w.parameterTable()->selectRow(9);
    EXPECT_EQ(w.descriptionField()->text(), "");
    w.valueField()->setText("-5");

    QString informative;
    apptest::answerNextMessageBox("Cancel",
                                  [&](QWidget* box) { informative = static_cast<QMessageBox*>(box)->informativeText(); });
    w.writeButton()->click();
    EXPECT_EQ(informative, QString::fromStdString("Do you really want to write -5 to parameter 9 - ?\nThe board holds " +
                                                  std::to_string(board.eeprom(9)) + " now."));
    apptest::spinFor(100ms);
    EXPECT_TRUE(board.frames(plovex::sim::FrameKind::Write).empty());

    apptest::answerNextMessageBox("Write");
    w.writeButton()->click();
    ASSERT_TRUE(apptest::spinUntil([&] { return board.eeprom(9) == -5; }, 5s));
    EXPECT_TRUE(apptest::spinUntil([&] { return cell(9, 2) == "-5"; }, 5s));
    // Records held while the box was up have been delivered: the display goes on.
    EXPECT_FALSE(queue_.held());
    EXPECT_TRUE(commsOk());
}

TEST_F(WindowTest, ApplyingAnotherPortStoresItAndReopensThere)
{
    SimulatedBoard& first = addBoard(21);
    SimulatedBoard& second = addBoard(22);
    second.setEeprom(3, 777);
    apptest::ScriptedAlert alert(0);
    plovex::DesktopApp& app = startApp(&first, &alert);
    ASSERT_TRUE(apptest::spinUntil([&] { return commsOk() && first.counters().pollsAnswered > 0; }, 5s));

    app.mainWindow().preferencesAction()->trigger();
    EXPECT_TRUE(app.prefsWindow().isVisible());
    QComboBox* menu = app.prefsWindow().portMenu();
    const int index = menu->findText(QString::fromStdString(second.displayName()));
    ASSERT_GE(index, 0);
    menu->setCurrentIndex(index);
    app.prefsWindow().applyButton()->click();

    EXPECT_EQ(stored_.values["serialPortName"], second.displayName());
    EXPECT_EQ(stored_.values["serialPortPath"], second.publishedLinkPath());
    EXPECT_EQ(stored_.synchronizations, 1);
    EXPECT_TRUE(app.prefsWindow().isVisible()); // Apply leaves it open

    ASSERT_TRUE(apptest::spinUntil([&] { return second.counters().pollsAnswered > 0; }, 5s));
    ASSERT_TRUE(apptest::spinUntil([&] { return cell(3, 2) == "777"; }, 5s));
    const auto firstPolls = first.counters().pollsAnswered;
    apptest::spinFor(150ms);
    EXPECT_EQ(first.counters().pollsAnswered, firstPolls);
    EXPECT_TRUE(commsOk());

    // Help > About names the version, the licence and the port now in use.
    QString about;
    apptest::answerNextMessageBox("OK", [&](QWidget* box) { about = static_cast<QMessageBox*>(box)->text(); });
    app.mainWindow().aboutAction()->trigger();
    EXPECT_TRUE(about.contains(QString::fromStdString(second.publishedLinkPath()))) << about.toStdString();
    EXPECT_TRUE(about.contains(QString::fromStdString(plovex::versionText()).trimmed())) << about.toStdString();
    EXPECT_TRUE(about.contains(QStringLiteral("Licence: MIT"))) << about.toStdString();
}

TEST_F(WindowTest, WithoutARememberedPortThePreferencesOpenAndTheLinkIsDown)
{
    SimulatedBoard& board = addBoard(31);
    apptest::ScriptedAlert alert(0);
    plovex::DesktopApp& app = startApp(nullptr, &alert);
    EXPECT_TRUE(app.prefsWindow().isVisible());
    EXPECT_EQ(app.prefsWindow().windowTitle(), "Preferences");

    // The default device does not exist here: link-down records come in.
    ASSERT_TRUE(
        apptest::spinUntil([&] { return app.mainWindow().commState()->text() == "NO Comms"; }, 5s));
    EXPECT_EQ(commColour(), QColor(255, 0, 0));

    app.prefsWindow().portMenu()->setCurrentText(QString::fromStdString(board.displayName()));
    app.prefsWindow().applyButton()->click();
    ASSERT_TRUE(apptest::spinUntil([&] { return commsOk(); }, 5s));
    EXPECT_EQ(commColour(), QColor(0, 255, 0));
    EXPECT_EQ(stored_.values["serialPortPath"], board.publishedLinkPath());
}

} // namespace
