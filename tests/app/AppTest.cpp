// The desktop application, offscreen: the hand-over to the GUI thread and
// its idle delivery, the display pass, the command line, and the whole
// window, with its confirmation box, against simulated boards.

#include "app/CommandLine.h"
#include "app/DesktopApp.h"
#include "app/windows/CaptureListPanel.h"
#include "app/windows/ReadoutLabel.h"
#include "app/windows/WrappedText.h"
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
#include "tests/support/ModalAnswers.h"
#include "tests/support/QtApp.h"
#include "tests/support/CliRun.h"
#include "tests/support/WindowRig.h"

#include <QAbstractButton>
#include <QAction>
#include <QComboBox>
#include <QGuiApplication>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QTableView>
#include <QVBoxLayout>
#include <QWindow>

#include <gtest/gtest.h>

#include <cmath>
#include <grp.h>
#include <pwd.h>
#include <set>
#include <sstream>
#include <sys/wait.h>
#include <sys/stat.h>
#include <thread>

using namespace testsupport;

namespace {

TEST(QtHandOver, RecordsFromAnotherThreadArriveOnceEachInOrderWhenTheLoopIsIdle)
{
    ensureApplication();
    MainSide main;
    plovex::QtMainThread hand;
    plovex::IdleDelivery delivery(main.queue);
    platform::IdleHandOver sink(&hand, main.queue, 34ms); // gathering as the window does
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
    ASSERT_TRUE(spinUntil([&] { return main.delivered.size() >= 10000; }, 60s));
    EXPECT_EQ(tasksAtFirstDelivery, 20) << "delivery waits until the posted work is done";
    ASSERT_EQ(main.delivered.size(), 10000u);
    for (int i = 0; i < 10000; ++i)
        ASSERT_EQ(main.delivered[i]["paddress"], i) << "after a task that failed, too";
}

// The application on a made-up machine where the simulated boards list themselves.
class Window : public WindowRig, public ::testing::Test {
protected:
    plovex::sim::SimulatedBoard& pacedBoard(uint64_t seed)
    {
        plovex::sim::BoardOptions o;
        o.paced = true;
        o.seed = seed;
        return board(o);
    }
};

TEST_F(Window, ShowsTheBoardLiveAndWritesAConfirmedParameter)
{
    auto& b = pacedBoard(7);
    auto& w = start(&b);
    EXPECT_FALSE(app->prefsWindow().isVisible()) << "this run's port counts as remembered";
    ASSERT_TRUE(spinUntil([&] { return linkShows("Comms OK", QColor(0, 255, 0)); }, 30s)) << w.commState()->text().toStdString();
    std::set<QString> xs;
    ASSERT_TRUE(spinUntil([&] { return xs.insert(w.xReadout()->text()), xs.size() >= 4; }, 30s));
    EXPECT_FLOAT_EQ(app->xReadout().floatValue(), w.xGauge()->angle()) << "needle and number show the same angle";
    EXPECT_TRUE(w.xReadout()->text().endsWith("°") && w.temperature()->text().endsWith(" °C"));
    EXPECT_FALSE(w.xGauge()->gaugeImage().isNull());
    ASSERT_TRUE(spinUntil([&] { return tableShows(b); }, 30s));
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
        spinUntil([&] { return b.counters().pollsAnswered >= polls + 5; }, 30s); // records keep coming...
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
    ASSERT_TRUE(spinUntil([&] { return cell(1, 2) == "4464"; }, 30s)) << "read back from the board";
    EXPECT_EQ(b.frames(plovex::sim::FrameKind::Write).size(), 1u) << "Cancel and a closed box sent nothing";
    EXPECT_TRUE(linkShows("Comms OK", QColor(0, 255, 0))) << "the records held while the box was up came in";
    EXPECT_EQ(stored.writes, 0) << "a port used for this run only is not stored";

    // Out of sight nothing is drawn: the records come a few times a second,
    // every one of them still; back in sight, once a display pass again.
    const auto gather = [&] { return app->recordHandOver().gather(); };
    const auto inSight = gather();
    w.showMinimized();
    ASSERT_TRUE(spinUntil([&] { return gather() > inSight; }, 30s));
    const std::size_t before = main.delivered.size();
    ASSERT_TRUE(spinUntil([&] { return main.delivered.size() >= before + 50; }, 30s));
    w.showNormal();
    EXPECT_TRUE(spinUntil([&] { return gather() == inSight; }, 30s));
}

TEST_F(Window, TheTitleNamesThePortAsTheUserChoseIt)
{
    // A path of the user's with a stable link to the same device: the path as
    // chosen; a board chosen from the ones the runtime folder lists: its name.
    plovex::sim::BoardOptions own;
    own.linkPath = (machine.runtime() / "board2").string();
    own.publish = false;
    auto& mine = board(own);
    auto& listed = board();
    std::filesystem::create_directories(machine.dev() / "serial" / "by-id");
    std::filesystem::create_symlink(mine.linkPath(), machine.dev() / "serial" / "by-id" / "usb-plovex-if00-port0");
    ASSERT_EQ(plovex::stablePortName(mine.linkPath(), machine.roots()), (machine.dev() / "serial" / "by-id" / "usb-plovex-if00-port0").string());
    auto& w = start(&mine);
    EXPECT_EQ(w.windowTitle().toStdString(), "plovex — " + mine.linkPath());
    choose(listed);
    EXPECT_TRUE(spinUntil([&] { return w.windowTitle().toStdString() == "plovex — " + listed.displayName() + " (simulated)"; }, 30s))
        << w.windowTitle().toStdString();
}

TEST_F(Window, WithoutARememberedPortItAsksForOneAndStoresWhatIsApplied)
{
    auto& first = pacedBoard(21);
    auto& second = pacedBoard(22);
    second.setEeprom(3, 777);
    auto& w = start(nullptr);
    EXPECT_TRUE(app->prefsWindow().isVisible());
    ASSERT_TRUE(spinUntil([&] { return linkShows("NO Comms", QColor(255, 0, 0)); }, 30s)) << w.commState()->text().toStdString();
    choose(first);
    ASSERT_TRUE(spinUntil([&] { return linkShows("Comms OK", QColor(0, 255, 0)); }, 30s));
    choose(second);
    EXPECT_EQ(stored.values, (std::map<std::string, std::string>{{"serialPortName", second.displayName()},
                                                                  {"serialPortPath", second.publishedLinkPath()}}));
    EXPECT_EQ(stored.synchronizations, 2);
    ASSERT_TRUE(spinUntil([&] { return cell(3, 2) == "777"; }, 30s));
    const auto polls = first.counters().pollsAnswered, secondPolls = second.counters().pollsAnswered;
    ASSERT_TRUE(spinUntil([&] { return second.counters().pollsAnswered >= secondPolls + 10; }, 30s));
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
    plovex::sim::BoardOptions o;
    o.seed = 9;
    auto& b = board(o);
    auto& w = start(&b);
    TempDir dir;
    ASSERT_TRUE(spinUntil([&] { return linkShows("Comms OK", QColor(0, 255, 0)); }, 30s));
    app->measureTools().recording().start(QString::fromStdString((dir / "r.csv").string()));
    w.parameterTable()->selectRow(1);
    w.valueField()->setText("4464");
    std::string opened, closed; // while the box is up, delivery is held and the line goes on
    answerNextMessageBox("Cancel", [&](QMessageBox*) {
        opened = plovex::record::isoLocalTime(std::chrono::system_clock::now());
        const auto polls = b.counters().pollsAnswered;
        spinUntil([&] { return b.counters().pollsAnswered >= polls + 10; }, 30s);
        closed = plovex::record::isoLocalTime(std::chrono::system_clock::now());
    });
    w.writeButton()->click();
    auto& recording = app->measureTools().recording();
    ASSERT_TRUE(spinUntil([&] { return recording.status().rowsWritten >= 20; }, 30s)) << "rows after the box, too";
    recording.stop();
    ASSERT_TRUE(spinUntil([&] { return recording.status().finished; }, 30s));

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
    auto& b = pacedBoard(11);
    auto& w = start(&b);
    ASSERT_TRUE(spinUntil([&] { return linkShows("Comms OK", QColor(0, 255, 0)); }, 30s));
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
    ASSERT_TRUE(spinUntil([&] { return list.rowCount() == 1; }, 30s));
    EXPECT_TRUE(tools.captureList()->isVisible()) << "the list comes into the window with the first capture";
    const plovex::record::CapturedReading& r = list.readings()[0];
    EXPECT_GT(r.count, 0u);
    EXPECT_TRUE(r.zeroed);
    EXPECT_EQ(r.zeroX, *zeroX);
    EXPECT_EQ(tools.captureButton()->text(), QStringLiteral("Capture"));
}

TEST_F(Window, AFileIsShownInPlaceOfTheBoardUntilBackToLive)
{
    // A recording: three rows 10 ms apart, then the link down.
    TempDir dir;
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
    // No board: once the link's first cycle is in, the readout says there is no value.
    ASSERT_TRUE(spinUntil([&] { return w.xReadout()->text() == QStringLiteral("—"); }, 30s));
    const QString before = w.xReadout()->text();

    // A file that does not read is named with its line, and nothing changes.
    QString said;
    answerNextMessageBox("OK", [&](QMessageBox* box) { said = box->text(); });
    EXPECT_FALSE(review.open(QString::fromStdString((dir / "bad.csv").string())));
    EXPECT_TRUE(said.contains(QStringLiteral("line 3"))) << said.toStdString();
    EXPECT_FALSE(review.showsFile());
    EXPECT_FALSE(review.banner()->isVisible());

    const QString liveTitle = w.windowTitle();
    ASSERT_TRUE(review.open(QString::fromStdString((dir / "good.csv").string())));
    EXPECT_TRUE(review.banner()->isVisible());
    EXPECT_EQ(w.windowTitle(), QStringLiteral("plovex — good.csv"));
    EXPECT_TRUE(review.banner()->text().startsWith(QStringLiteral("Showing the file good.csv, not the board")));
    EXPECT_FALSE(app->measureTools().historyChart().isVisible());
    plovex::chart::FileChart& chart = *review.chart();
    // In the window, laid out in view when the event loop has had its turn.
    ASSERT_TRUE(spinUntil([&] { return chart.height() > 0; }, 30s));
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
    EXPECT_EQ(w.windowTitle(), liveTitle) << "the port's title comes back";
    EXPECT_FALSE(review.showsFile());
    EXPECT_FALSE(review.banner()->isVisible());
    EXPECT_TRUE(app->measureTools().historyChart().isVisible());
    EXPECT_EQ(w.xReadout()->text(), before) << "the live state again";
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
    std::vector<bool> sight; // what the pass told of the window's sight
    pass.onSightChanged([&](bool inSight) { sight.push_back(inSight); });
    plovex::FloatReadout readout(label, 2, QStringLiteral("°"), &pass);
    EXPECT_EQ(label->text(), QStringLiteral("—")) << "nothing measured yet";
    plovex::GaugeField needle(gauge, &pass);
    auto record = [&](float degrees) { // as the controller shows each record
        readout.setFloatValue(degrees);
        needle.setAngle(degrees);
        needle.setNeedsDisplayInRect(needle.bounds());
    };
    window.show();
    ASSERT_TRUE(spinUntil([&] { return window.windowHandle() && window.windowHandle()->isExposed() && gaugePaints.n > 0; }, 30s));

    record(90.0f); // a needle that moved is drawn where it is now, and the old one is gone
    ASSERT_TRUE(spinUntil([&] { return label->text() == "90.00°"; }, 30s));
    EXPECT_TRUE(spinUntil([&] { return needleShows(window, 90.0, ink) && !needleShows(window, 0.0, ink); }, 30s))
        << "the new needle is not drawn, or the old one is still on screen";
    gaugePaints.n = 0;
    unsigned long passes = pass.passes();
    record(90.001f); // the very same needle: nothing to repaint
    ASSERT_TRUE(spinUntil([&] { return pass.passes() > passes; }, 30s));
    QCoreApplication::processEvents(); // what the pass asked for
    EXPECT_EQ(gaugePaints.n, 0);

    window.showMinimized(); // records change nothing on screen and run no pass...
    ASSERT_TRUE(spinUntil([&] { return window.isMinimized(); }, 30s));
    passes = pass.passes();
    record(-45.0f);
    record(180.0f);
    spinUntil(nullptr, 100ms); // what would show in that time: more would only see more
    EXPECT_EQ(std::tuple(pass.passes(), gaugePaints.n, label->text()), std::tuple(passes, 0, QString("90.00°")));
    window.showNormal(); // ...and once the window is back it shows the last record
    ASSERT_TRUE(spinUntil([&] { return label->text() == "180.00°"; }, 30s));
    EXPECT_TRUE(spinUntil([&] { return needleShows(window, 180.0, ink) && !needleShows(window, 90.0, ink); }, 30s));
    readout.setNoValue();
    readout.setFormat(1, QStringLiteral(" mrad")); // another unit does not make the last value current again
    passes = pass.passes();
    ASSERT_TRUE(spinUntil([&] { return pass.passes() > passes; }, 30s));
    EXPECT_EQ(label->text(), QStringLiteral("—"));
    window.hide();
    ASSERT_TRUE(spinUntil([&] { return sight.size() == 5; }, 30s));
    EXPECT_EQ(sight, (std::vector<bool>{false, true, false, true, false})) << "unshown, shown, minimised, back, hidden";
}

// Where a widget's text is drawn (what differs from its background) and its darkest ink.
std::pair<QRect, QRgb> inkOf(QWidget& w)
{
    const QImage image = w.grab().toImage();
    QRect box;
    QRgb darkest = qRgb(255, 255, 255);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (const QRgb p = image.pixel(x, y); p != image.pixel(0, 0)) {
                box |= QRect(x, y, 1, 1);
                darkest = qGray(p) < qGray(darkest) ? p : darkest;
            }
    return {box, darkest};
}

TEST(ReadoutLabel, DrawsItsNumberWhereAndAsALabelWould)
{
    ensureApplication();
    for (const bool enabled : {true, false}) {
        QLabel label(QStringLiteral("-12.34°"));
        plovex::ReadoutLabel readout(label.text());
        for (QLabel* l : {&label, static_cast<QLabel*>(&readout)}) {
            QFont f = l->font();
            f.setPointSizeF(f.pointSizeF() * 1.6);
            l->setFont(f);
            l->setAlignment(Qt::AlignCenter);
            l->setFixedSize(160, 40);
            l->setEnabled(enabled); // greyed
        }
        const auto [box, ink] = inkOf(label);
        const auto [readoutBox, readoutInk] = inkOf(readout);
        SCOPED_TRACE(enabled);
        EXPECT_LE((readoutBox.center() - box.center()).manhattanLength(), 2);
        EXPECT_LE(std::abs(readoutBox.width() - box.width()), 2);
        EXPECT_EQ(readoutInk, ink);
    }
}

TEST(WrappedText, IsShownWholeAndLaysOutTheWindowOnlyWhenItNeedsAnotherHeight)
{
    ensureApplication();
    QWidget window;
    auto* column = new QVBoxLayout(&window);
    auto* text = new plovex::WrappedText(QStringLiteral("1.0 records/s"), &window);
    column->addWidget(text);
    column->addStretch(1);
    window.resize(200, 400);
    window.show();
    struct LayoutCounter : QObject {
        int n = 0;
        bool eventFilter(QObject*, QEvent* e) override { return n += e->type() == QEvent::LayoutRequest, false; }
    } layouts;
    window.installEventFilter(&layouts);
    const auto lines = [](int n) { return QStringLiteral("received %1 kB, port /dev/serial/by-id/usb-FTDI ").arg(n).repeated(4); };
    const struct {
        QString text;
        bool laidOut;
    } steps[] = {{QStringLiteral("2.0 records/s"), false}, {lines(52), true}, {lines(63), false}, {QStringLiteral("3.0 records/s"), true}};
    for (const auto& s : steps) {
        SCOPED_TRACE(s.text.toStdString());
        QCoreApplication::processEvents();
        layouts.n = 0;
        text->setText(s.text);
        QCoreApplication::processEvents();
        EXPECT_EQ(layouts.n > 0, s.laidOut);
        EXPECT_EQ(text->height(), text->heightForWidth(text->width())) << "the text whole, in as many lines as it needs";
    }
}

// The plovex program as a child process, without a display unless offscreen is asked for.
CliOptions windowProgram(bool offscreen = false)
{
    CliOptions o;
    o.program = PLOVEX_PROGRAM;
    o.unsetEnv = {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"};
    if (offscreen)
        o.env["QT_QPA_PLATFORM"] = "offscreen";
    return o;
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
    EXPECT_EQ(runCli({"--bogus"}, windowProgram()).exitCode, 2);
    EXPECT_NE(runCli({"--help"}, windowProgram()).out.find("--screenshot FILE"), std::string::npos);
    EXPECT_EQ(runCli({"--version"}, windowProgram()).out.rfind("plovex ", 0), 0u);
    const auto headless = runCli({"--simulate"}, windowProgram());
    EXPECT_EQ(headless.exitCode, 1);
    EXPECT_NE(headless.err.find("QT_QPA_PLATFORM=offscreen"), std::string::npos) << headless.err;

    TempDir dir;
    auto offscreen = windowProgram(true);
    offscreen.env["XDG_CONFIG_HOME"] = dir.path().string();
    EXPECT_EQ(runCli({"--port", "/nonexistent", "--screenshot", (dir / "no" / "shot.png").string()}, offscreen).exitCode, 1)
        << "a screenshot that cannot be saved fails at once";
    EXPECT_EQ(runCli({"--simulate", "--screenshot", (dir / "shot.png").string(), "--after", "1.2"}, offscreen).exitCode, 0);
    EXPECT_EQ(readFile(dir / "shot.png").substr(1, 3), "PNG");
    EXPECT_EQ(readFile(dir / "plovex" / "plovex.conf").find("serialPort"), std::string::npos)
        << "a run on a simulated board stores no port (the window's layout, yes)";

    // A recording replaces a file only when asked to.
    const std::string rows = (dir / "rows.csv").string();
    writeFile(rows, "kept\n");
    const auto refused = runCli({"--simulate", "--record", rows, "--screenshot", (dir / "shot.png").string(), "--after", "2"},
                                offscreen); // were it not refused, it would end there
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_NE(refused.err.find(rows + ": the file exists; pass --force to replace it"), std::string::npos) << refused.err;
    EXPECT_EQ(readFile(rows), "kept\n");
    EXPECT_EQ(runCli({"--simulate", "--record", rows, "--force", "--screenshot", (dir / "shot.png").string(), "--after", "0.5"},
                     offscreen).exitCode, 0);
    EXPECT_EQ(readFile(rows).rfind("time,", 0), 0u) << "replaced by the recording";
}

// A port the user may not open, as the window run by that user shows it from the start: the
// health strip's warning, said on standard error too, with what to do; a port the user may
// open shows none.
TEST(CommandLine, APortTheUserMayNotOpenShowsInTheStripWithWhatToDo)
{
    const passwd* nobody = ::getpwnam("nobody");
    ASSERT_NE(nobody, nullptr);
    for (const mode_t mode : {0600, 0666}) {
        SCOPED_TRACE(mode);
        Board board;
        const std::string slave = board->slavePath(); // the device itself, in a folder everybody may read
        ASSERT_EQ(::chmod(slave.c_str(), mode), 0);
        auto options = windowProgram(true);
        options.user = nobody->pw_uid;
        CliProcess window({"--port", slave, "--screenshot", "shot.png", "--after", "0.5"}, options);
        const auto r = window.finish();
        EXPECT_EQ(r.exitCode, 0) << r.err;
        const std::string said = "No permission to open " + slave + "; only its owner root may open it."; // 0600
        EXPECT_EQ(r.err.find(said) != std::string::npos, mode == 0600) << r.err;
        const QImage shot(QString::fromStdString((window.home() / "shot.png").string()));
        ASSERT_FALSE(shot.isNull());
        long warning = 0; // the strip's warning is drawn on its own colour
        for (int y = 0; y < shot.height(); ++y)
            for (int x = 0; x < shot.width(); ++x)
                warning += shot.pixelColor(x, y) == QColor(0xff, 0xf0, 0xc8);
        EXPECT_EQ(warning > 2000, mode == 0600) << warning << " pixels of the warning's colour";
    }
}

} // namespace
