// The window against a simulated board that falls silent, is unplugged and
// comes back; the write row's input rules; a write checked by its read-back;
// the port list following boards that come and go.

#include "app/DesktopApp.h"
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
#include <QPushButton>
#include <QStatusBar>
#include <QTableView>
#include <QTest>

#include <gtest/gtest.h>

namespace {

using namespace std::chrono_literals;
using plovex::ParameterState;
using plovex::sim::SimulatedBoard;

class LinkHealthWindow : public ::testing::Test {
protected:
    LinkHealthWindow() : alert_(0)
    {
        apptest::ensureApplication();
        std::filesystem::create_directories(dir_ / "sys" / "class" / "tty");
        board_ = startBoard();
        plovex::DesktopConfig c;
        c.storedPrefs = &stored_;
        c.sessionPortPath = board_->linkPath();
        c.sessionPortName = board_->displayName();
        c.discoveryRoots = {dir_ / "sys", dir_ / "dev", platform::simulatorLinkDir()};
        c.portSleeper = std::make_shared<platform::ScaledSleeper>(0.1); // a link-down cycle in 0.1 s
        c.lineTimeoutDeciseconds = 2;
        c.center = &center_;
        c.queue = &queue_;
        c.alert = &alert_;
        app_ = std::make_unique<plovex::DesktopApp>(c);
        app_->start();
        EXPECT_TRUE(apptest::spinUntil([&] { return label() == "Comms OK"; }, 5s));
    }
    ~LinkHealthWindow() override { app_.reset(); } // lets go of the port before the board stops

    std::unique_ptr<SimulatedBoard> startBoard()
    {
        plovex::sim::BoardOptions o;
        o.paced = true;
        auto b = std::make_unique<SimulatedBoard>(o);
        EXPECT_TRUE(b->start()) << b->error();
        return b;
    }
    plovex::MainWindow& w() { return app_->mainWindow(); }
    QString label() { return w().commState()->text(); }
    QString cell(int row) { return w().parameterModel()->data(w().parameterModel()->index(row, 2)).toString(); }
    void type(const QString& number, const QString& value)
    {
        w().numberField()->setText(number);
        w().valueField()->setText(value);
    }

    testsupport::TempDir dir_;
    testsupport::ScopedEnv runtime_{"XDG_RUNTIME_DIR", dir_.path().string()};
    apptest::MemoryPreferences stored_;
    platform::NotificationCenter center_;
    platform::NotificationQueue queue_{center_};
    apptest::ScriptedAlert alert_;
    std::unique_ptr<SimulatedBoard> board_;
    std::unique_ptr<plovex::DesktopApp> app_;
};

TEST_F(LinkHealthWindow, WhatTheLineDoesIsWhatTheWindowShows)
{
    ASSERT_TRUE(apptest::spinUntil([&] { return cell(1) == QString::number(board_->eeprom(1)); }, 5s));
    type("1", "5");
    struct Step {
        const char* what;
        std::function<void(SimulatedBoard&)> act;
        QString label;
        QColor colour;
        bool down; // link down: dashes, no Write, rows not current
    };
    const Step steps[] = {
        {"silent", [](SimulatedBoard& b) { b.setSilent(true); }, "NO Comms", Qt::red, false},
        {"answers", [](SimulatedBoard& b) { b.setSilent(false); }, "Comms OK", Qt::green, false},
        {"unplugged", [](SimulatedBoard& b) { b.unplug(); }, "NO Comms", Qt::red, true},
        {"replugged", [](SimulatedBoard& b) { b.replug(); }, "Comms OK", Qt::green, false},
    };
    for (const Step& s : steps) {
        s.act(*board_);
        // A silent board turns the label red within 2.5 s; the next record turns it green.
        EXPECT_TRUE(apptest::spinUntil([&] { return label() == s.label; }, 2500ms)) << s.what;
        EXPECT_EQ(w().commState()->palette().color(QPalette::WindowText), s.colour) << s.what;
        apptest::spinFor(1s); // link-down cycles (and their placeholders) come and go meanwhile
        EXPECT_EQ(w().temperature()->text() == "—", s.down) << s.what;
        EXPECT_EQ(w().xReadout()->text() == "—", s.down) << s.what;
        EXPECT_EQ(w().writeButton()->isEnabled(), s.label == "Comms OK") << s.what;
        EXPECT_EQ(w().writeButton()->toolTip().contains("NO Comms"), s.label != "Comms OK") << s.what;
        for (int row = 0; row < 16 && s.down; ++row) {
            EXPECT_EQ(cell(row), QString::number(board_->eeprom(row))) << s.what << row; // no placeholder
            EXPECT_EQ(app_->controller().parameterState(row), ParameterState::NotRead) << s.what << row;
        }
        if (s.down) { // a row not read since the link came up offers no value to write
            w().parameterTable()->selectRow(3);
            EXPECT_EQ(w().valueField()->text(), "") << s.what;
            type("1", "5");
        }
    }
    EXPECT_TRUE(board_->frames(plovex::sim::FrameKind::Write).empty());
}

TEST_F(LinkHealthWindow, OnlyWholeNumbersInRangeReachTheQuestion)
{
    struct Case {
        QString number, value;
        bool accepted;
    };
    const Case cases[] = {{"", "5", false},    {"x", "5", false},     {"20", "5", false},     {"-1", "5", false},
                          {"1", "", false},    {"1", "1.5", false},   {"1", "70000", false},  {"1", "4x", false},
                          {"15", "-32768", true}, {" 0 ", "32767", true}};
    for (const Case& c : cases) {
        type(c.number, c.value);
        const bool messages = w().numberMessage()->isVisible() || w().valueMessage()->isVisible();
        EXPECT_EQ(w().writeButton()->isEnabled(), c.accepted) << c.number.toStdString() << "/" << c.value.toStdString();
        EXPECT_EQ(messages, !c.accepted) << c.number.toStdString() << "/" << c.value.toStdString();
        const std::size_t asked = alert_.shown.size();
        QTest::keyClick(w().valueField(), Qt::Key_Return); // Enter in Value means Write
        EXPECT_EQ(alert_.shown.size(), asked + (c.accepted ? 1 : 0)) << c.value.toStdString();
    }
    apptest::spinFor(200ms);
    EXPECT_TRUE(board_->frames(plovex::sim::FrameKind::Write).empty()); // every question was cancelled
}

TEST_F(LinkHealthWindow, AWriteIsCheckedByItsReadBackAndThePortListFollowsTheBoards)
{
    alert_.answer = 1;
    type("2", "4321");
    w().writeButton()->click();
    EXPECT_EQ(app_->controller().parameterState(2), ParameterState::Waiting);
    ASSERT_TRUE(apptest::spinUntil([&] { return app_->controller().parameterState(2) == ParameterState::Current; }, 3s));
    EXPECT_EQ(cell(2), "4321");
    EXPECT_EQ(w().statusBar()->findChild<QLabel*>("statusLine")->text(), "Parameter 2 now holds 4321.");

    w().preferencesAction()->trigger();
    QComboBox* menu = app_->prefsWindow().portMenu();
    const QString chosen = menu->currentText();
    auto second = startBoard();
    const QString name = QString::fromStdString(second->displayName());
    EXPECT_TRUE(apptest::spinUntil([&] { return menu->findText(name) >= 0; }, 1500ms));
    second->stop();
    EXPECT_TRUE(apptest::spinUntil([&] { return menu->findText(name) < 0; }, 1500ms));
    EXPECT_EQ(menu->currentText(), chosen);
}

} // namespace
