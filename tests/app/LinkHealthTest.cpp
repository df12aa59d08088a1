// The window against a board that falls silent, is unplugged and comes back, with the health
// strip's line and the reason the port does not open; the write row's input rules; a write
// checked by its read-back, in time or not; the port list following boards that come and go.
// The link's health runs on the test's clock: silence and the read-back's 3 s are exact.

#include "app/windows/HealthStrip.h"
#include "app/windows/WrappedText.h"
#include "tests/support/OutletFakes.h"
#include "tests/support/WindowRig.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QTest>

#include <cstdlib>
#include <gtest/gtest.h>
#include <regex>

using namespace testsupport;
using plovex::ParameterState;
using plovex::sim::SimulatedBoard;

class LinkHealth : public WindowRig, public ::testing::Test {
public:
    LinkHealth() : b(board(readOnly3()))
    {
        start(&b, &alert);
        EXPECT_TRUE(spinUntil([&] { return w().commState()->text() == "Comms OK"; }, 30s));
    }
    static plovex::sim::BoardOptions readOnly3()
    {
        plovex::sim::BoardOptions options;
        options.readOnly = {3};
        return options;
    }
    plovex::LinkHealth health() { return app->controller().port()->health(); }
    // Waits, without running the event loop, until the link has counted one more of what field counts.
    bool counted(uint64_t plovex::LinkHealth::*field)
    {
        const uint64_t before = health().*field;
        return waitFor([&] { return health().*field > before; }, 30s);
    }
    // Runs the event loop until n more records of the kind were delivered.
    bool delivered(std::size_t n, bool (Delivered::*kind)() const)
    {
        const std::size_t from = main.delivered.size();
        return spinUntil([&] { return static_cast<std::size_t>(std::count_if(main.delivered.begin() + from, main.delivered.end(),
                                                                                [&](const Delivered& d) { return (d.*kind)(); })) >= n; },
                         30s);
    }
    // Runs the event loop until every measurement the link has made was delivered.
    bool caughtUp()
    {
        return spinUntil([&] {
            return static_cast<uint64_t>(std::count_if(main.delivered.begin(), main.delivered.end(),
                                                       [](const Delivered& d) { return d.measurement(); })) ==
                   health().measurementRecords;
        }, 30s);
    }
    void type(const QString& number, const QString& value) { w().numberField()->setText(number), w().valueField()->setText(value); }
    std::string strip() const { return app->mainWindow().healthStrip()->figures()->text().toStdString(); }
    QLabel* problem() const { return app->mainWindow().healthStrip()->problem(); }

    fake::Alert alert;
    SimulatedBoard& b;
};

TEST_F(LinkHealth, WhatTheLineDoesIsWhatTheWindowShows)
{
    ASSERT_TRUE(spinUntil([&] { return tableShows(b); }, 30s));
    type("1", "5");
    const std::string figures = R"(\d+\.\d records/s, last -?\d+\.\d s ago, (\d+) timeouts, (\d+) reconnects, sent [\d.]+ [kM]?B, received [\d.]+ [kM]?B, port )" + b.linkPath();
    struct Step {
        const char* what;
        std::function<void(LinkHealth&)> act; // until the window shows the label
        const char* label;
        QColor colour;
        bool down;                   // link down: no Write, rows not current
        const char* stripEnd;        // the strip's line ends so
        int reconnects;
        bool problem;                // the reason the port does not open is shown
    };
    const Step steps[] = {
        {"silent",
         [](LinkHealth& t) { // as soon as a poll goes unanswered no record comes: silence is the clock's to tell
             t.b.setSilent(true);
             ASSERT_TRUE(t.counted(&plovex::LinkHealth::framesAbandoned));
             ASSERT_TRUE(t.caughtUp()); // the last answers are shown before the silence begins
             t.tick();
             t.clock.advance(1999ms); // "NO Comms" after 2 s without a record
             t.tick();
             EXPECT_EQ(t.w().commState()->text(), "Comms OK") << "NO Comms before 2 s";
             t.clock.advance(1ms);
             t.tick();
         },
         "NO Comms", Qt::red, false, "", 0, false},
        {"answers", [](LinkHealth& t) { t.b.setSilent(false); }, "Comms OK", Qt::green, false, "", 0, false},
        {"unplugged", [](LinkHealth& t) { t.b.unplug(); }, "NO Comms", Qt::red, true, R"( \(closed\))", 0, true},
        {"replugged", [](LinkHealth& t) { t.b.replug(); }, "Comms OK", Qt::green, false, "", 1, false},
    };
    for (const Step& s : steps) {
        SCOPED_TRACE(s.what);
        s.act(*this);
        ASSERT_TRUE(spinUntil([&] { return w().commState()->text() == s.label; }, 30s));
        EXPECT_EQ(w().commState()->palette().color(QPalette::WindowText), s.colour);
        // Link-down cycles (and their placeholders) come and go meanwhile; measurements while up.
        if (s.down || s.colour == Qt::green) {
            ASSERT_TRUE(delivered(2, s.down ? &Delivered::linkDown : &Delivered::measurement));
        }
        // Silent or down, the readouts are greyed to dashes (at the next display pass).
        const bool greyed = s.colour == Qt::red;
        // Silent or down, Write is off (also at the next display pass).
        EXPECT_TRUE(spinUntil([&] {
            return (w().temperature()->text() == "—") == greyed && (w().xReadout()->text() == "—") == greyed &&
                   w().writeButton()->isEnabled() == !greyed;
        }, 30s)) << w().temperature()->text().toStdString() << " " << w().xReadout()->text().toStdString();
        EXPECT_EQ(w().writeButton()->toolTip().contains("NO Comms"), !w().writeButton()->isEnabled());
        EXPECT_EQ(w().writeButton()->isEnabled(), s.colour == Qt::green);
        tick();
        std::smatch m;
        const std::string line = strip();
        ASSERT_TRUE(std::regex_match(line, m, std::regex(figures + s.stripEnd))) << line;
        EXPECT_GT(std::stoi(m[1]), 0) << "the polls the silent board left unanswered, as timeouts: " << line;
        EXPECT_EQ(std::stoi(m[2]), s.reconnects) << line;
        EXPECT_EQ(problem()->isVisible(), s.problem);
        if (s.problem) {
            EXPECT_EQ(problem()->text().toStdString(), b.linkPath() + " is not present; waiting for it to be plugged in.");
        }
        for (int row = 0; row < 16 && s.down; ++row) {
            EXPECT_EQ(cell(row), QString::number(b.eeprom(row))) << row; // no placeholder
            EXPECT_EQ(app->controller().parameterState(row), ParameterState::NotRead) << row;
        }
        if (s.down) { // a row not read since the link came up offers no value to write
            w().parameterTable()->selectRow(3);
            EXPECT_EQ(w().valueField()->text(), "");
            type("1", "5");
        }
    }
    EXPECT_TRUE(b.frames(plovex::sim::FrameKind::Write).empty());
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
    ASSERT_TRUE(counted(&plovex::LinkHealth::eepromReads)); // a write would have gone out before the next read
    EXPECT_TRUE(b.frames(plovex::sim::FrameKind::Write).empty()); // every question was cancelled
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
        ASSERT_TRUE(spinUntil([&] { return app->controller().parameterState(row) == c.settled; }, 30s)) << row;
        EXPECT_EQ(cell(row), c.cell);
        EXPECT_EQ(w().findChild<QLabel*>("statusLine")->text(), c.said);
    }
    w().preferencesAction()->trigger();
    QComboBox* menu = app->prefsWindow().portMenu();
    const QString chosen = menu->currentText();
    auto& second = board();
    const QString name = QString::fromStdString(second.displayName());
    EXPECT_TRUE(spinUntil([&] { return menu->findText(name) >= 0; }, 30s));
    second.stop();
    EXPECT_TRUE(spinUntil([&] { return menu->findText(name) < 0; }, 30s));
    EXPECT_EQ(menu->currentText(), chosen);
}

TEST_F(LinkHealth, AWriteNotReadBackWithin3SOfTheLinkUpIsToldAndSettlesWhenItIs)
{
    alert.answer = 1;
    const auto status = [&] { return w().findChild<QLabel*>("statusLine")->text().toStdString(); };
    // The exact limit, in one turn of the event loop: no read-back can come in between.
    tick();
    ASSERT_TRUE(counted(&plovex::LinkHealth::measurementRecords)); // the board still answers at the next tick
    type("2", "4321");
    w().writeButton()->click();
    clock.advance(2999ms);
    tick();
    EXPECT_EQ(app->controller().parameterState(2), ParameterState::Waiting);
    ASSERT_TRUE(counted(&plovex::LinkHealth::measurementRecords));
    clock.advance(1ms);
    tick();
    EXPECT_EQ(app->controller().parameterState(2), ParameterState::NoAnswer);
    EXPECT_EQ(status(), "Parameter 2 was not read back within 3 s of the write.");
    EXPECT_EQ(w().parameterModel()->data(w().parameterModel()->index(2, 2), Qt::ToolTipRole).toString(),
              "Written 4321; not read back within 3 s.");
    ASSERT_TRUE(spinUntil([&] { return app->controller().parameterState(2) == ParameterState::Current; }, 30s));
    EXPECT_EQ(status(), "Parameter 2 now holds 4321.");

    // While the board does not answer, the wait does not count.
    b.setSilent(true);
    ASSERT_TRUE(counted(&plovex::LinkHealth::framesAbandoned));
    tick();
    type("4", "55");
    w().writeButton()->click();
    clock.advance(2s);
    tick();
    ASSERT_EQ(w().commState()->text(), "NO Comms");
    clock.advance(10s);
    tick();
    EXPECT_EQ(app->controller().parameterState(4), ParameterState::Waiting);
    b.setSilent(false);
    ASSERT_TRUE(spinUntil([&] { return app->controller().parameterState(4) == ParameterState::Current; }, 30s));
    EXPECT_EQ(status(), "Parameter 4 now holds 55.");
}
