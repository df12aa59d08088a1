// What the user does with files from the window, against the simulated
// board: File > Save Parameters and Restore Parameters (the file holds what
// the board holds; Cancel writes nothing; only the values that differ are
// written; a parameter that does not take is named; a silent board is given
// up on), and recording from Ctrl+R and the Record button (the rows, the
// stop, the window closed while recording).

#include "params/Snapshot.h"
#include "tests/support/ModalAnswers.h"
#include "tests/support/OutletFakes.h"
#include "tests/support/WindowRig.h"

#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QStatusBar>

#include <gtest/gtest.h>
#include <sstream>

using namespace testsupport;
using plovex::sim::FrameKind;

namespace {

class FileMenu : public WindowRig, public ::testing::Test {
public:
    // The window on a board whose parameter 5 does not take a write.
    FileMenu() : b(board(readOnly5()))
    {
        start(&b, &alert);
        EXPECT_TRUE(spinUntil([&] { return linkShows("Comms OK", Qt::green); }, 30s));
    }
    static plovex::sim::BoardOptions readOnly5()
    {
        plovex::sim::BoardOptions options;
        options.readOnly = {5};
        return options;
    }
    QAction* item(const QString& text) const
    {
        for (QAction* a : app->mainWindow().fileMenu()->actions())
            if (a->text() == text)
                return a;
        ADD_FAILURE() << "no File menu item " << text.toStdString();
        return nullptr;
    }
    // Runs the event loop until the status bar shows a message beginning so.
    bool statusSays(const QString& start)
    {
        return spinUntil([&] { return w().statusBar()->currentMessage().startsWith(start); }, 30s);
    }
    // Triggers the item with path chosen in its file dialog, then answers the
    // warning box it may show (keeping its text) once the work is done.
    QString choose(const QString& itemText, const std::filesystem::path& path)
    {
        answerNextFileDialog(QString::fromStdString(path.string()));
        item(itemText)->trigger();
        QString warning;
        bool answered = false;
        QPointer<QTimer> waiting =
            answerNextMessageBox("OK", [&](QMessageBox* box) { warning = box->text(), answered = true; });
        // The work ends with its warning shown (and answered) or with none.
        EXPECT_TRUE(spinUntil([&] { return answered || !app->parameterFiles().busy(); }, 30s));
        delete waiting.data();
        return warning;
    }

    TempDir dir;
    ScopedEnv config{"XDG_CONFIG_HOME", dir.path().string()}; // where the file dialog keeps its state
    fake::Alert alert;
    plovex::sim::SimulatedBoard& b;
};

TEST_F(FileMenu, SavedParametersAreTheBoardsAndARestoreWritesOnlyWhatDiffersOnceConfirmed)
{
    ASSERT_TRUE(spinUntil([&] { return tableShows(b); }, 30s));
    b.setEeprom(2, -17); // the table may lag; the file may not
    EXPECT_EQ(choose("Save Parameters…", dir / "board.json"), "");
    ASSERT_TRUE(statusSays("Saved the board's parameters to"));
    std::string error;
    const auto saved = plovex::params::loadSnapshot((dir / "board.json").string(), &error);
    ASSERT_TRUE(saved) << error;
    ASSERT_EQ(saved->parameters.size(), 16u);
    for (int a = 0; a < 16; ++a)
        EXPECT_EQ(saved->parameters[a].value, b.eeprom(a)) << "parameter " << a;
    EXPECT_EQ(saved->portPath, b.linkPath());

    const struct {
        const char* what;
        std::vector<std::pair<int, int16_t>> changes; // on the board after the save
        int answer;                                   // to the confirmation: 1 writes
        std::size_t writes;
        const char* warning; // "" when none
        const char* status;
    } steps[] = {
        {"nothing differs", {}, 1, 0, "", "The board holds the values of"},
        {"cancelled", {{1, 555}}, 0, 0, "", "Restore cancelled; nothing was written."},
        {"restored", {{9, -7}}, 1, 2, "", "Restored 2 parameters; each read back as written."},
        {"did not take", {{5, 77}}, 1, 1, "These parameters did not take the value written:\n\nparameter 5", ""},
    };
    for (const auto& s : steps) {
        SCOPED_TRACE(s.what);
        for (const auto& [address, value] : s.changes)
            b.setEeprom(address, value);
        std::vector<int16_t> expected;
        for (int a = 0; a < 16; ++a)
            expected.push_back(s.answer == 1 && a != 5 ? saved->parameters[a].value : b.eeprom(a));
        b.clearFrames();
        alert.answer = s.answer;
        alert.shown.clear();
        w().statusBar()->clearMessage();
        const QString warning = choose("Restore Parameters…", dir / "board.json");
        EXPECT_TRUE(*s.warning ? warning.startsWith(s.warning) : warning.isEmpty()) << warning.toStdString();
        if (*s.status) {
            EXPECT_TRUE(statusSays(s.status)) << w().statusBar()->currentMessage().toStdString();
        }
        EXPECT_EQ(alert.shown.size(), s.changes.empty() ? 0u : 1u) << "one question, only when something differs";
        EXPECT_EQ(b.frames(FrameKind::Write).size(), s.writes);
        for (int a = 0; a < 16; ++a)
            EXPECT_EQ(b.eeprom(a), expected[a]) << "parameter " << a;
    }
    EXPECT_TRUE(alert.shown.back().informativeText.find("Parameter 5") != std::string::npos) << alert.shown.back().informativeText;
}

TEST_F(FileMenu, ASilentBoardIsGivenUpOnAndNothingIsSavedOrWritten)
{
    const std::string file = (dir / "board.json").string();
    plovex::params::Snapshot snapshot;
    snapshot.portPath = b.linkPath();
    snapshot.parameters = {{1, 4464, ""}};
    std::string error;
    ASSERT_TRUE(plovex::params::saveSnapshot(file, snapshot, false, &error)) << error;
    b.setSilent(true);
    b.clearFrames();
    const QString unsaved = choose("Save Parameters…", dir / "silent.json");
    EXPECT_TRUE(unsaved.startsWith("Parameter 0 could not be read")) << unsaved.toStdString();
    EXPECT_TRUE(unsaved.endsWith("Nothing was saved.")) << unsaved.toStdString();
    EXPECT_FALSE(std::filesystem::exists(dir / "silent.json"));
    const QString unrestored = choose("Restore Parameters…", file);
    EXPECT_TRUE(unrestored.endsWith("Nothing was written.")) << unrestored.toStdString();
    EXPECT_TRUE(alert.shown.empty());
    EXPECT_TRUE(b.frames(FrameKind::Write).empty());
    EXPECT_TRUE(item("Save Parameters…")->isEnabled()) << "the items are offered again";
}

// The rows of a recording file: the header first, every row as many fields as it.
std::vector<std::string> wholeRows(const std::filesystem::path& file)
{
    const std::string text = readFile(file);
    EXPECT_TRUE(!text.empty() && text.back() == '\n') << "ends with a whole row";
    std::istringstream in(text);
    std::vector<std::string> rows;
    for (std::string row; std::getline(in, row);) {
        rows.push_back(row);
        EXPECT_EQ(std::count(row.begin(), row.end(), ','), std::count(rows[0].begin(), rows[0].end(), ',')) << row;
    }
    EXPECT_TRUE(!rows.empty() && rows[0].rfind("time,", 0) == 0);
    return rows;
}

TEST_F(FileMenu, ARecordingStartsAndStopsFromTheMenuAndTheButtonAndEndsWholeWhenTheWindowCloses)
{
    auto& tools = app->measureTools();
    auto* button = w().findChild<QPushButton*>("recordButton");
    auto* label = w().findChild<QLabel*>("recordStatus");
    ASSERT_TRUE(button && label);
    EXPECT_EQ(tools.recordAction()->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_R));
    auto& recording = tools.recording();
    auto rowsWritten = [&](std::size_t n) { return spinUntil([&] { return recording.status().rowsWritten >= n; }, 30s); };

    answerNextFileDialog(""); // cancelled: nothing starts
    tools.recordAction()->trigger();
    EXPECT_FALSE(recording.recording());
    const struct {
        const char* what;
        std::function<void()> toggle;
    } ways[] = {
        {"Ctrl+R", [&] { tools.recordAction()->trigger(); }},
        {"the Record button", [&] { button->click(); }},
    };
    for (const auto& way : ways) {
        SCOPED_TRACE(way.what);
        const auto file = dir / (std::string(way.what) + ".csv");
        answerNextFileDialog(QString::fromStdString(file.string()));
        way.toggle();
        ASSERT_TRUE(recording.recording());
        EXPECT_EQ(button->text(), "Stop recording");
        ASSERT_TRUE(rowsWritten(5));
        way.toggle();
        EXPECT_FALSE(recording.recording());
        ASSERT_TRUE(spinUntil([&] { return recording.status().finished; }, 30s));
        const auto rows = wholeRows(file);
        EXPECT_EQ(rows.size(), recording.status().rowsWritten + 1);
        ASSERT_TRUE(spinUntil([&] { return label->text().startsWith("Recorded "); }, 30s));
        EXPECT_EQ(label->text(), QStringLiteral("Recorded %1 rows to %2").arg(rows.size() - 1).arg(file.filename().c_str()));
        EXPECT_EQ(button->text(), "Record…");
        const auto polls = b.counters().pollsAnswered;
        ASSERT_TRUE(spinUntil([&] { return b.counters().pollsAnswered >= polls + 3; }, 30s));
        EXPECT_EQ(wholeRows(file), rows) << "nothing after the stop";
    }

    const auto file = dir / "closed.csv";
    recording.start(QString::fromStdString(file.string()));
    ASSERT_TRUE(rowsWritten(5));
    w().close();
    app.reset(); // as the program ends once its window is closed
    EXPECT_GE(wholeRows(file).size(), 6u);
}

} // namespace
