// The window against a board that falls silent, is unplugged and comes back; the write row's
// input rules; a write checked by its read-back; the port list following boards that come and go.

#include "app/DesktopApp.h"
#include "tests/controller/ControllerRig.h"
#include "tests/support/QtApp.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QTest>

#include <cstdlib>
#include <gtest/gtest.h>

using namespace testsupport;
using plovex::ParameterState;
using plovex::sim::SimulatedBoard;

class LinkHealth : public ::testing::Test {
protected:
    LinkHealth()
    {
        ensureApplication();
        std::filesystem::create_directories(dir / "sys" / "class" / "tty"); // a machine without serial ports
        plovex::DesktopConfig c;
        c.storedPrefs = &stored;
        c.sessionPortPath = board->linkPath();
        c.sessionPortName = board->displayName();
        c.discoveryRoots = {dir / "sys", dir / "dev", platform::simulatorLinkDir()};
        c.portSleeper = std::make_shared<TestClock>(0.1); // a link-down cycle in 0.1 s
        c.center = &main.center;
        c.queue = &main.queue;
        c.alert = &alert;
        app = std::make_unique<plovex::DesktopApp>(c);
        app->start();
        EXPECT_TRUE(spinUntil([&] { return w().commState()->text() == "Comms OK"; }, 5s));
    }
    static std::unique_ptr<SimulatedBoard> startBoard()
    {
        plovex::sim::BoardOptions options;
        options.readOnly = {3};
        auto b = std::make_unique<SimulatedBoard>(options);
        EXPECT_TRUE(b->start()) << b->error();
        return b;
    }
    plovex::MainWindow& w() { return app->mainWindow(); }
    QString cell(int row) { return w().parameterModel()->data(w().parameterModel()->index(row, 2)).toString(); }
    void type(const QString& number, const QString& value) { w().numberField()->setText(number), w().valueField()->setText(value); }

    TempDir dir;
    ScopedEnv runtime{"XDG_RUNTIME_DIR", dir.path().string()};
    MemoryPrefs stored;
    MainSide main;
    controllertest::Alert alert;
    std::unique_ptr<SimulatedBoard> board = startBoard();
    std::unique_ptr<plovex::DesktopApp> app; // last: lets go of the port before the board stops
};

TEST_F(LinkHealth, WhatTheLineDoesIsWhatTheWindowShows)
{
    EXPECT_TRUE(w().windowTitle().endsWith(QString::fromStdString(board->linkPath()))) << w().windowTitle().toStdString();
    ASSERT_TRUE(spinUntil([&] { return cell(1) == QString::number(board->eeprom(1)); }, 5s));
    type("1", "5");
    struct Step {
        const char* what;
        std::function<void(SimulatedBoard&)> act;
        const char* label;
        QColor colour;
        bool greyed; // silent or down: dashes
        bool down;   // link down: also rows not current
    };
    const Step steps[] = {
        {"silent", [](SimulatedBoard& b) { b.setSilent(true); }, "NO Comms", Qt::red, true, false},
        {"answers", [](SimulatedBoard& b) { b.setSilent(false); }, "Comms OK", Qt::green, false, false},
        {"unplugged", [](SimulatedBoard& b) { b.unplug(); }, "NO Comms", Qt::red, true, true},
        {"replugged", [](SimulatedBoard& b) { b.replug(); }, "Comms OK", Qt::green, false, false},
    };
    for (const Step& s : steps) {
        s.act(*board);
        EXPECT_TRUE(spinUntil([&] { return w().commState()->text() == s.label; }, 2500ms)) << s.what; // silence: 2 s
        EXPECT_EQ(w().commState()->palette().color(QPalette::WindowText), s.colour) << s.what;
        spinUntil(nullptr, 1s); // link-down cycles (and their placeholders) come and go meanwhile
        EXPECT_EQ(w().temperature()->text() == "—", s.greyed) << s.what;
        EXPECT_EQ(w().xReadout()->text() == "—", s.greyed) << s.what;
        EXPECT_EQ(w().writeButton()->toolTip().contains("NO Comms"), !w().writeButton()->isEnabled()) << s.what;
        EXPECT_EQ(w().writeButton()->isEnabled(), s.colour == Qt::green) << s.what;
        for (int row = 0; row < 16 && s.down; ++row) {
            EXPECT_EQ(cell(row), QString::number(board->eeprom(row))) << s.what << row; // no placeholder
            EXPECT_EQ(app->controller().parameterState(row), ParameterState::NotRead) << s.what << row;
        }
        if (s.down) { // a row not read since the link came up offers no value to write
            w().parameterTable()->selectRow(3);
            EXPECT_EQ(w().valueField()->text(), "") << s.what;
            type("1", "5");
        }
    }
    EXPECT_TRUE(board->frames(plovex::sim::FrameKind::Write).empty());
}

TEST_F(LinkHealth, OnlyWholeNumbersInRangeReachTheQuestion)
{
    const std::tuple<QString, QString, bool> cases[] = {
        {"", "5", false},   {"x", "5", false},     {"20", "5", false},    {"-1", "5", false},       {"1", "", false},
        {"1", "1.5", false}, {"1", "70000", false}, {"1", "4x", false},    {"15", "-32768", true},   {" 0 ", "32767", true}};
    for (const auto& [number, value, accepted] : cases) {
        type(number, value);
        const std::string label = number.toStdString() + "/" + value.toStdString();
        EXPECT_EQ(w().writeButton()->isEnabled(), accepted) << label;
        EXPECT_EQ(w().numberMessage()->isVisible() || w().valueMessage()->isVisible(), !accepted) << label;
        const std::size_t asked = alert.shown.size();
        QTest::keyClick(w().valueField(), Qt::Key_Return); // Enter in Value means Write
        EXPECT_EQ(alert.shown.size(), asked + (accepted ? 1 : 0)) << label;
    }
    spinUntil(nullptr, 200ms);
    EXPECT_TRUE(board->frames(plovex::sim::FrameKind::Write).empty()); // every question was cancelled
}

TEST_F(LinkHealth, AWriteIsCheckedByItsReadBackAndThePortListFollowsTheBoards)
{
    alert.answer = 1;
    const struct { const char* address; ParameterState settled; const char* cell; QString said; } writes[] = {
        {"2", ParameterState::Current, "4321", "Parameter 2 now holds 4321."},
        {"3", ParameterState::NotTaken, "300", "Parameter 3 did not take the write: the board holds 300, not 4321."},
    };
    for (const auto& c : writes) { // the board ignores writes to address 3
        const int row = std::atoi(c.address);
        type(c.address, "4321");
        w().writeButton()->click();
        EXPECT_EQ(app->controller().parameterState(row), ParameterState::Waiting);
        ASSERT_TRUE(spinUntil([&] { return app->controller().parameterState(row) == c.settled; }, 3s)) << row;
        EXPECT_EQ(cell(row), c.cell);
        EXPECT_EQ(w().findChild<QLabel*>("statusLine")->text(), c.said);
    }
    w().preferencesAction()->trigger();
    QComboBox* menu = app->prefsWindow().portMenu();
    const QString chosen = menu->currentText();
    auto second = startBoard();
    const QString name = QString::fromStdString(second->displayName());
    EXPECT_TRUE(spinUntil([&] { return menu->findText(name) >= 0; }, 1500ms));
    second->stop();
    EXPECT_TRUE(spinUntil([&] { return menu->findText(name) < 0; }, 1500ms));
    EXPECT_EQ(menu->currentText(), chosen);
}
