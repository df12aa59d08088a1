// The desktop application, offscreen: the hand-over to the GUI thread and
// its idle delivery, the display pass, the command line, and the whole
// window, with its confirmation box, against simulated boards.

#include "app/CommandLine.h"
#include "app/DesktopApp.h"
#include "app/windows/CaptureListPanel.h"
#include "chart/FileChart.h"
#include "chart/HistoryChart.h"
#include "app/runtime/DisplayPass.h"
#include "app/runtime/IdleDelivery.h"
#include "app/runtime/QtMainThread.h"
#include "app/outlets/QtOutlets.h"
#include "gauge/plovexGaugeView.h"
#include "record/LocalTime.h"
#include "tests/support/LinkRig.h"
#include "tests/support/MemoryPrefs.h"
#include "tests/support/QtApp.h"

#include <QAbstractButton>
#include <QAction>
#include <QComboBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QTableView>
#include <QWindow>

#include <gtest/gtest.h>

#include <cmath>
#include <set>
#include <sstream>
#include <sys/wait.h>
#include <thread>

using namespace testsupport;

namespace {

// Once a message box is up: looks at it, then clicks the button of that title (or, with none, presses Escape).
void answerNextMessageBox(const QString& button, std::function<void(QMessageBox*)> inspect = {})
{
    auto* timer = new QTimer;
    QObject::connect(timer, &QTimer::timeout, [=] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box)
            return;
        timer->deleteLater();
        timer->stop();
        if (inspect)
            inspect(box);
        for (QAbstractButton* b : box->buttons())
            if (b->text() == button)
                return b->click();
        box->reject();
    });
    timer->start(5);
}

TEST(QtHandOver, RecordsFromAnotherThreadArriveOnceEachInOrderWhenTheLoopIsIdle)
{
    ensureApplication();
    MainSide main;
    plovex::QtMainThread hand;
    plovex::IdleDelivery delivery(main.queue);
    platform::IdleHandOver sink(&hand, main.queue, 17ms); // gathering as the window does
    int tasksRun = 0, tasksAtFirstDelivery = -1;
    main.center.addObserver("inclinoData", [&](const platform::Notification&) {
        if (tasksAtFirstDelivery < 0)
            tasksAtFirstDelivery = tasksRun;
    });
    for (int i = 0; i < 20; ++i)
        hand.post([&] { ++tasksRun; });
    hand.post([] { throw std::runtime_error("a failing task"); });
    std::thread([&] {
        for (int i = 0; i < 10000; ++i)
            sink.handOver("inclinoData", parameter(i, i));
    }).join();
    ASSERT_TRUE(spinUntil([&] { return main.delivered.size() >= 10000; }, 15s));
    EXPECT_EQ(tasksAtFirstDelivery, 20) << "delivery waits until the posted work is done";
    ASSERT_EQ(main.delivered.size(), 10000u);
    for (int i = 0; i < 10000; ++i)
        ASSERT_EQ(main.delivered[i]["paddress"], i) << "after a task that failed, too";
}

// The application on a runtime folder of its own, where simulated boards list themselves.
class Window : public ::testing::Test {
protected:
    Window()
    {
        ensureApplication();
        std::filesystem::create_directories(dir / "sys" / "class" / "tty"); // a machine without serial ports
    }
    ~Window() override { app.reset(); } // lets go of the ports before the boards stop

    plovex::sim::SimulatedBoard& board(uint64_t seed)
    {
        plovex::sim::BoardOptions o;
        o.paced = true;
        o.seed = seed;
        boards.push_back(std::make_unique<plovex::sim::SimulatedBoard>(o));
        EXPECT_TRUE(boards.back()->start()) << boards.back()->error();
        return *boards.back();
    }
    plovex::MainWindow& start(const plovex::sim::SimulatedBoard* thisRunOnly)
    {
        plovex::DesktopConfig c;
        c.storedPrefs = &stored;
        if (thisRunOnly) {
            c.sessionPortPath = thisRunOnly->linkPath();
            c.sessionPortName = thisRunOnly->displayName();
        }
        c.discoveryRoots = {dir / "sys", dir / "dev", platform::simulatorLinkDir()};
        c.portSleeper = std::make_shared<TestClock>(0.1);
        c.idleSleeper = std::make_shared<TestClock>(0.01);
        c.lineTimeoutDeciseconds = 10;
        c.center = &main.center;
        c.queue = &main.queue;
        app = std::make_unique<plovex::DesktopApp>(c);
        app->start();
        return app->mainWindow();
    }
    QString cell(int row, int column) const
    {
        auto* m = app->mainWindow().parameterTable()->model();
        return m->data(m->index(row, column)).toString();
    }
    bool tableShows(const plovex::sim::SimulatedBoard& b) const
    {
        for (int r = 0; r < 16; ++r)
            if (cell(r, 2) != QString::number(b.eeprom(r)))
                return false;
        return true;
    }
    // The link label shows text in colour.
    bool link(const char* text, QColor colour) const
    {
        const QLabel* l = app->mainWindow().commState();
        return l->text() == text && l->palette().color(QPalette::WindowText) == colour;
    }
    void choose(const plovex::sim::SimulatedBoard& b)
    {
        app->prefsWindow().portMenu()->setCurrentText(QString::fromStdString(b.displayName()));
        app->prefsWindow().applyButton()->click();
    }

    TempDir dir;
    ScopedEnv runtime{"XDG_RUNTIME_DIR", dir.path().string()};
    MemoryPrefs stored;
    MainSide main;
    std::vector<std::unique_ptr<plovex::sim::SimulatedBoard>> boards;
    std::unique_ptr<plovex::DesktopApp> app;
};

TEST_F(Window, ShowsTheBoardLiveAndWritesAConfirmedParameter)
{
    auto& b = board(7);
    auto& w = start(&b);
    EXPECT_FALSE(app->prefsWindow().isVisible()) << "this run's port counts as remembered";
    ASSERT_TRUE(spinUntil([&] { return link("Comms OK", QColor(0, 255, 0)); }, 5s)) << w.commState()->text().toStdString();
    std::set<QString> xs;
    ASSERT_TRUE(spinUntil([&] { return xs.insert(w.xReadout()->text()), xs.size() >= 4; }, 5s));
    EXPECT_FLOAT_EQ(app->xReadout().floatValue(), w.xGauge()->angle()) << "needle and number show the same angle";
    EXPECT_TRUE(w.xReadout()->text().endsWith("°") && w.temperature()->text().endsWith(" °C"));
    EXPECT_FALSE(w.xGauge()->gaugeImage().isNull());
    ASSERT_TRUE(spinUntil([&] { return tableShows(b); }, 5s));
    EXPECT_EQ((QStringList{cell(1, 0), cell(1, 1), cell(15, 1)}), (QStringList{"1", "Sx Primary Gain", ""}));

    w.parameterTable()->selectRow(1);
    EXPECT_EQ(w.descriptionField()->text(), "Sx Primary Gain");
    EXPECT_EQ(w.valueField()->text(), "1000");
    w.valueField()->setText("4464");
    QStringList seen;
    std::size_t deliveredWhileOpen = 1;
    answerNextMessageBox("Cancel", [&](QMessageBox* box) {
        seen << box->windowTitle() << box->text() << box->informativeText() << box->defaultButton()->text();
        const std::size_t before = main.delivered.size(), polls = b.counters().pollsAnswered;
        spinUntil([&] { return b.counters().pollsAnswered >= polls + 5; }, 5s); // records keep coming...
        deliveredWhileOpen = main.delivered.size() - before;                    // ...and wait for the box
    });
    w.writeButton()->click();
    EXPECT_EQ(seen, (QStringList{"Write to EEPROM", "Write to EEPROM",
                                 "Do you really want to write 4464 to parameter 1 - Sx Primary Gain?\nThe board holds 1000 now.", "Write"}));
    EXPECT_EQ(deliveredWhileOpen, 0u);
    answerNextMessageBox(""); // closed without a button
    w.writeButton()->click();
    answerNextMessageBox("Write");
    w.writeButton()->click();
    ASSERT_TRUE(spinUntil([&] { return cell(1, 2) == "4464"; }, 5s)) << "read back from the board";
    EXPECT_EQ(b.frames(plovex::sim::FrameKind::Write).size(), 1u) << "Cancel and a closed box sent nothing";
    EXPECT_TRUE(link("Comms OK", QColor(0, 255, 0))) << "the records held while the box was up came in";
    EXPECT_EQ(stored.writes, 0) << "a port used for this run only is not stored";
}

TEST_F(Window, WithoutARememberedPortItAsksForOneAndStoresWhatIsApplied)
{
    auto& first = board(21);
    auto& second = board(22);
    second.setEeprom(3, 777);
    auto& w = start(nullptr);
    EXPECT_TRUE(app->prefsWindow().isVisible());
    ASSERT_TRUE(spinUntil([&] { return link("NO Comms", QColor(255, 0, 0)); }, 5s)) << w.commState()->text().toStdString();
    choose(first);
    ASSERT_TRUE(spinUntil([&] { return link("Comms OK", QColor(0, 255, 0)); }, 5s));
    choose(second);
    EXPECT_EQ(stored.values, (std::map<std::string, std::string>{{"serialPortName", second.displayName()},
                                                                  {"serialPortPath", second.publishedLinkPath()}}));
    EXPECT_EQ(stored.synchronizations, 2);
    ASSERT_TRUE(spinUntil([&] { return cell(3, 2) == "777"; }, 5s));
    const auto polls = first.counters().pollsAnswered;
    spinUntil(nullptr, 100ms);
    EXPECT_EQ(first.counters().pollsAnswered, polls) << "the first board is left alone";

    // Help > About names the version, the licence and the port now in use.
    QString about;
    answerNextMessageBox("OK", [&](QMessageBox* box) { about = box->text(); });
    w.aboutAction()->trigger();
    for (const QString& part : {QString::fromStdString(second.publishedLinkPath()),
                                QString::fromStdString(plovex::versionText()).trimmed(), QStringLiteral("Licence: MIT")})
        EXPECT_TRUE(about.contains(part)) << about.toStdString();
}

TEST_F(Window, ARecordingAcrossAConfirmationKeepsTheTimeOfEachMeasurement)
{
    ScopedEnv utc("TZ", "UTC"); // local ISO 8601 times then order as text
    ::tzset();
    auto& b = board(9);
    auto& w = start(&b);
    ASSERT_TRUE(spinUntil([&] { return link("Comms OK", QColor(0, 255, 0)); }, 5s));
    app->measureTools().recording().start(QString::fromStdString((dir / "r.csv").string()));
    w.parameterTable()->selectRow(1);
    w.valueField()->setText("4464");
    std::string opened, closed; // while the box is up, delivery is held and the line goes on
    answerNextMessageBox("Cancel", [&](QMessageBox*) {
        opened = plovex::record::isoLocalTime(std::chrono::system_clock::now());
        const auto polls = b.counters().pollsAnswered;
        spinUntil([&] { return b.counters().pollsAnswered >= polls + 10; }, 5s);
        closed = plovex::record::isoLocalTime(std::chrono::system_clock::now());
    });
    w.writeButton()->click();
    auto& recording = app->measureTools().recording();
    ASSERT_TRUE(spinUntil([&] { return recording.status().rowsWritten >= 20; }, 5s)) << "rows after the box, too";
    recording.stop();
    ASSERT_TRUE(spinUntil([&] { return recording.status().finished; }, 5s));

    std::istringstream file(readFile(dir / "r.csv"));
    std::vector<std::string> times;
    int held = 0;
    for (std::string row; std::getline(file, row);) {
        if (row.rfind("time,", 0) == 0)
            continue;
        times.push_back(row.substr(0, row.find(',')));
        held += times.back() > opened && times.back() < closed;
    }
    ASSERT_GE(times.size(), 20u);
    for (std::size_t i = 1; i < times.size(); ++i)
        EXPECT_LT(times[i - 1], times[i]) << "row " << i << ": each row has the time of its own measurement";
    EXPECT_GE(held, 5) << "the rows held while the box was up keep the times they were measured at";
}

// Whether the needle of a 240 x 240 gauge at (0, 40) of window shows on screen
// along degrees (a multiple of 45): ink at 40 % to 90 % of its length.
bool needleShows(QWidget& window, double degrees, QColor ink)
{
    const QImage image = QGuiApplication::primaryScreen()->grabWindow(window.winId()).toImage();
    const double r = degrees * M_PI / 180.0;
    for (int step = 40; step <= 90; step += 10) {
        const double len = 110.0 * step / 100.0;
        if (image.pixelColor(static_cast<int>(120 + len * std::sin(r)), static_cast<int>(160 - len * std::cos(r))) != ink)
            return false;
    }
    return true;
}

TEST_F(Window, CaptureAveragesTheTiltAsTheReadoutsShowItIntoTheList)
{
    stored.setObject("0.5", plovex::board::kPrefCaptureSeconds);
    auto& b = board(11);
    auto& w = start(&b);
    ASSERT_TRUE(spinUntil([&] { return link("Comms OK", QColor(0, 255, 0)); }, 5s));
    for (auto* button : w.findChildren<QPushButton*>())
        if (button->text() == QStringLiteral("Zero both"))
            button->click();
    const auto zeroX = app->controller().tiltReference().zero(plovex::Axis::X);
    ASSERT_TRUE(zeroX.has_value());

    plovex::ReadingTools& tools = app->readingTools();
    plovex::CaptureListModel& list = tools.captureList()->model();
    // Pressed again while it runs, it is cancelled.
    tools.captureButton()->click();
    tools.captureButton()->click();
    EXPECT_EQ(tools.captureButton()->text(), QStringLiteral("Capture"));
    tools.captureButton()->click();
    ASSERT_TRUE(spinUntil([&] { return list.rowCount() == 1; }, 10s));
    const plovex::record::CapturedReading& r = list.readings()[0];
    EXPECT_GT(r.count, 0u);
    EXPECT_TRUE(r.zeroed);
    EXPECT_EQ(r.zeroX, *zeroX);
    EXPECT_EQ(tools.captureButton()->text(), QStringLiteral("Capture"));
}

TEST_F(Window, AFileIsShownInPlaceOfTheBoardUntilBackToLive)
{
    // A recording: three rows 10 ms apart, then the link down.
    const std::string header = "time,elapsed_s,x_deg,y_deg,temp_c,xGravityRaw,xGravityKal,xRaw,xKal,yGravityRaw,"
                               "yGravityKal,yRaw,yKal,temp,packetCount,link\n";
    const auto row = [](int ms, const char* x, const char* y) {
        return "2026-12-07T08:30:00." + std::string(ms < 100 ? "0" : "") + std::to_string(ms) + "+00:00,0," + x + "," +
               y + ",23.5,0,0,0,0,0,0,0,0,235,7,up\n";
    };
    writeFile(dir / "good.csv", header + row(10, "1.5000", "-2.2500") + row(20, "1.6000", "-2.2000") +
                                    row(30, "1.7000", "-2.1000") +
                                    "2026-12-07T08:30:00.040+00:00,0,,,,,,,,,,,,,8,down\n");
    writeFile(dir / "bad.csv", header + row(10, "1.5000", "-2.2500") + row(20, "one", "-2.2000"));
    auto& w = start(nullptr);
    plovex::FileReview& review = app->fileReview();
    const QString before = w.xReadout()->text();

    // A file that does not read is named with its line, and nothing changes.
    QString said;
    answerNextMessageBox("OK", [&](QMessageBox* box) { said = box->text(); });
    EXPECT_FALSE(review.open(QString::fromStdString((dir / "bad.csv").string())));
    EXPECT_TRUE(said.contains(QStringLiteral("line 3"))) << said.toStdString();
    EXPECT_FALSE(review.showsFile());
    EXPECT_FALSE(review.banner()->isVisible());

    ASSERT_TRUE(review.open(QString::fromStdString((dir / "good.csv").string())));
    EXPECT_TRUE(review.banner()->isVisible());
    EXPECT_TRUE(review.banner()->text().startsWith(QStringLiteral("Showing the file good.csv, not the board")));
    EXPECT_FALSE(app->measureTools().historyChart().isVisible());
    plovex::chart::FileChart& chart = *review.chart();
    ASSERT_TRUE(chart.span());
    EXPECT_EQ(chart.span()->from(), 0.0);
    EXPECT_GE(chart.span()->to(), 0.03); // the whole file

    // The cursor's row moves the readouts and needles there; in a gap there is no value.
    chart.setCursor(0.011);
    EXPECT_EQ(w.xReadout()->text(), QStringLiteral("1.60°"));
    EXPECT_EQ(w.yReadout()->text(), QStringLiteral("-2.20°"));
    EXPECT_FLOAT_EQ(w.xGauge()->angle(), 1.6f);
    EXPECT_TRUE(review.cursorLine()->text().contains(QStringLiteral("line 3")));
    chart.setCursor(0.03);
    EXPECT_TRUE(review.cursorLine()->text().contains(QStringLiteral("the link was down")));
    EXPECT_EQ(w.xReadout()->text(), QStringLiteral("—°"));

    // Zoomed in to the narrowest, the rows are read again from the file.
    chart.zoom(1e-6, 0.01);
    EXPECT_GE(chart.span()->width(), 0.04 - 1e-9); // four rows across
    chart.grab();
    EXPECT_EQ(chart.readError(), QString());

    for (const char* name : {"view.png", "view.svg"}) {
        const QString path = QString::fromStdString((dir / name).string());
        EXPECT_TRUE(review.exportChart(path, nullptr)) << name;
        EXPECT_GT(std::filesystem::file_size(path.toStdString()), 100u) << name;
    }

    review.backToLive();
    EXPECT_FALSE(review.showsFile());
    EXPECT_FALSE(review.banner()->isVisible());
    EXPECT_TRUE(app->measureTools().historyChart().isVisible());
    EXPECT_EQ(w.xReadout()->text(), before) << "the board's own value again";
}

TEST(DisplayPass, ShowsOnlyWhatChangedAndNothingWhileMinimisedThenTheLatestState)
{
    ensureApplication();
    QWidget window;
    auto* label = new QLabel(QStringLiteral("start"), &window);
    auto* gauge = new plovex::plovexGaugeView(&window, QStringLiteral(":/no_such_dial.png"));
    gauge->setGeometry(0, 40, 240, 240);
    label->setGeometry(0, 0, 200, 30);
    window.resize(240, 280);
    const QColor ink(10, 20, 30);
    QPalette palette = gauge->palette();
    palette.setColor(QPalette::WindowText, ink);
    gauge->setPalette(palette);
    struct PaintCounter : QObject {
        int n = 0;
        bool eventFilter(QObject*, QEvent* e) override { return n += e->type() == QEvent::Paint, false; }
    } gaugePaints;
    gauge->installEventFilter(&gaugePaints);
    plovex::DisplayPass pass;
    pass.watch(&window);
    plovex::FloatReadout readout(label, 2, QStringLiteral("°"), &pass);
    plovex::GaugeField needle(gauge, &pass);
    auto record = [&](float degrees) { // as the controller shows each record
        readout.setFloatValue(degrees);
        needle.setAngle(degrees);
        needle.setNeedsDisplayInRect(needle.bounds());
    };
    window.show();
    ASSERT_TRUE(spinUntil([&] { return window.windowHandle() && window.windowHandle()->isExposed(); }, 5s));
    spinUntil(nullptr, 50ms);

    record(90.0f); // a needle that moved is drawn where it is now, and the old one is gone
    ASSERT_TRUE(spinUntil([&] { return label->text() == "90.00°"; }, 5s));
    spinUntil(nullptr, 50ms);
    EXPECT_TRUE(needleShows(window, 90.0, ink));
    EXPECT_FALSE(needleShows(window, 0.0, ink)) << "the old needle is still on screen";
    gaugePaints.n = 0;
    record(90.001f); // the very same needle: nothing to repaint
    spinUntil(nullptr, 60ms);
    EXPECT_EQ(gaugePaints.n, 0);

    window.showMinimized(); // records change nothing on screen and run no pass...
    ASSERT_TRUE(spinUntil([&] { return window.isMinimized(); }, 5s));
    const unsigned long passes = pass.passes();
    record(-45.0f);
    record(180.0f);
    spinUntil(nullptr, 100ms);
    EXPECT_EQ(std::tuple(pass.passes(), gaugePaints.n, label->text()), std::tuple(passes, 0, QString("90.00°")));
    window.showNormal(); // ...and once the window is back it shows the last record
    ASSERT_TRUE(spinUntil([&] { return label->text() == "180.00°"; }, 5s));
    spinUntil(nullptr, 50ms);
    EXPECT_TRUE(needleShows(window, 180.0, ink));
    EXPECT_FALSE(needleShows(window, 90.0, ink));
}

// Runs the plovex program without a display; returns its exit status and what it printed.
std::pair<int, std::string> plovexProgram(const std::string& args, const std::string& env = "")
{
    const std::string cmd = "env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM " + env + " '" PLOVEX_PROGRAM "' " + args + " 2>&1";
    FILE* p = ::popen(cmd.c_str(), "r");
    std::string out;
    char buf[512];
    while (p && std::fgets(buf, sizeof buf, p))
        out += buf;
    const int status = p ? ::pclose(p) : -1;
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, out};
}

TEST(CommandLine, RefusesWhatItCannotUseAndSaysHowToRunWithoutADisplay)
{
    for (const std::vector<std::string>& bad : {std::vector<std::string>{"--port"}, {"--port="}, {"--simulate", "--port", "x"},
                                                {"--after", "3"}, {"--screenshot", "a.png", "--after", "nan"}, {"a.csv", "b.csv"},
                                                {"--force"}}) {
        std::string err;
        EXPECT_FALSE(plovex::parseCommandLine(bad, &err)) << bad.front();
        EXPECT_FALSE(err.empty());
    }
    EXPECT_EQ(plovexProgram("--bogus").first, 2);
    EXPECT_NE(plovexProgram("--help").second.find("--screenshot FILE"), std::string::npos);
    EXPECT_EQ(plovexProgram("--version").second.rfind("plovex ", 0), 0u);
    const auto [code, out] = plovexProgram("--simulate");
    EXPECT_EQ(code, 1);
    EXPECT_NE(out.find("QT_QPA_PLATFORM=offscreen"), std::string::npos) << out;

    TempDir dir;
    const std::string env = "QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR='" + dir.path().string() + "' XDG_CONFIG_HOME='" +
                            dir.path().string() + "'";
    EXPECT_EQ(plovexProgram("--port /nonexistent --screenshot '" + (dir / "no" / "shot.png").string() + "'", env).first, 1)
        << "a screenshot that cannot be saved fails at once";
    EXPECT_EQ(plovexProgram("--simulate --screenshot '" + (dir / "shot.png").string() + "' --after 1.2", env).first, 0);
    EXPECT_EQ(readFile(dir / "shot.png").substr(1, 3), "PNG");
    EXPECT_FALSE(std::filesystem::exists(dir / "plovex" / "plovex.conf")) << "a run on a simulated board stores no port";

    // A recording replaces a file only when asked to.
    const std::string rows = (dir / "rows.csv").string();
    writeFile(rows, "kept\n");
    const auto refused = plovexProgram("--simulate --record '" + rows + "' --screenshot '" + (dir / "shot.png").string() +
                                           "' --after 2", env); // were it not refused, it would end there
    EXPECT_EQ(refused.first, 1);
    EXPECT_NE(refused.second.find(rows + ": the file exists; pass --force to replace it"), std::string::npos) << refused.second;
    EXPECT_EQ(readFile(rows), "kept\n");
    EXPECT_EQ(plovexProgram("--simulate --record '" + rows + "' --force --screenshot '" + (dir / "shot.png").string() +
                                "' --after 0.5", env).first, 0);
    EXPECT_EQ(readFile(rows).rfind("time,", 0), 0u) << "replaced by the recording";
}

} // namespace
