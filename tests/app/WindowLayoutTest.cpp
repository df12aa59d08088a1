// The main window on a 1366x768 laptop screen (offscreen, with the frame a
// window manager adds): it opens whole with the status line in view, keeps
// the status line and the write row in view at its least size in either
// arrangement, and comes back as it was left.

#include "app/DesktopApp.h"
#include "chart/HistoryChart.h"
#include "gauge/plovexGaugeView.h"
#include "tests/support/MemoryPrefs.h"
#include "tests/support/QtApp.h"
#include "tests/support/TestClock.h"
#include "tests/support/TestSupport.h"
#include "platform/NotificationCenter.h"
#include "platform/NotificationQueue.h"

#include <QAbstractItemView>
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QSplitter>
#include <QStatusBar>
#include <QTest>

#include <gtest/gtest.h>

#include <fstream>

using namespace testsupport;
using namespace std::chrono_literals;

namespace {

// The program's one QApplication, made before any test on a laptop's screen.
class LaptopScreen : public ::testing::Environment {
public:
    void SetUp() override
    {
        const std::string config = (dir_.path() / "screen.json").string();
        std::ofstream(config) << R"({"windowFrameMargins": true, "screens": [{"name": "laptop", "x": 0, "y": 0,
            "width": 1366, "height": 768, "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1}]})";
        qputenv("QT_QPA_PLATFORM", QByteArray("offscreen:configfile=") + config.c_str());
        static int argc = 1;
        static char name[] = "plovex_tests";
        static char* argv[] = {name, nullptr};
        new QApplication(argc, argv); // never destroyed, as ensureApplication's
    }

private:
    TempDir dir_;
};

const auto* const kLaptop = ::testing::AddGlobalTestEnvironment(new LaptopScreen);

class WindowLayout : public ::testing::Test {
protected:
    WindowLayout() { std::filesystem::create_directories(dir / "sys" / "class" / "tty"); }

    plovex::MainWindow& start()
    {
        plovex::DesktopConfig c;
        c.storedPrefs = &stored;
        c.sessionPortPath = (dir / "no-such-port").string(); // the link stays down: the layout is the point
        c.sessionPortName = "no-such-port";
        c.discoveryRoots = {dir / "sys", dir / "dev", dir / "run"};
        c.portSleeper = std::make_shared<TestClock>(0.1);
        c.idleSleeper = std::make_shared<TestClock>(0.01);
        c.center = &center;
        c.queue = &queue;
        app = std::make_unique<plovex::DesktopApp>(c);
        app->start();
        return app->mainWindow();
    }
    // Whether w shows, whole, inside the window.
    static bool wholeInWindow(const QWidget* w)
    {
        const QWidget* window = w->window();
        const QRect where(w->mapTo(window, QPoint(0, 0)), w->size());
        return w->isVisible() && w->height() >= w->minimumSizeHint().height() && window->rect().contains(where);
    }
    static QLabel* statusLine(const plovex::MainWindow& w)
    {
        return w.statusBar()->findChild<QLabel*>(QStringLiteral("statusLine"));
    }
    void settle() { spinUntil([] { return false; }, 0ms); QApplication::processEvents(); }

    TempDir dir;
    MemoryPrefs stored;
    platform::NotificationCenter center;
    platform::NotificationQueue queue{center};
    std::unique_ptr<plovex::DesktopApp> app;
};

TEST_F(WindowLayout, OpensWholeOnALaptopScreenAndKeepsTheStatusLineInViewAtItsLeastSize)
{
    plovex::MainWindow& w = start();
    settle();
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    ASSERT_EQ(screen.size(), QSize(1366, 768));
    EXPECT_LE(w.minimumSizeHint().height(), 600);
    EXPECT_TRUE(screen.contains(w.frameGeometry())) << "title bar and all";
    EXPECT_GE(w.geometry().top() - screen.top(), plovex::MainWindow::kTitleBarAllowance - 10);
    EXPECT_TRUE(w.wide()) << "the gauges beside the chart on a wide screen";
    ASSERT_NE(statusLine(w), nullptr);

    // Wide and narrow, each at the least size the window allows: the status
    // line, the write row and the chart (or the gauges, when it folded)
    // whole; on an 800x600 screen, under a title bar, the chart too.
    const struct {
        int width, height;
        bool chart;
    } sizes[] = {{w.wideWidth(), 100, false}, {w.wideWidth() - 1, 100, false}, {800, 560, true}};
    for (const auto [width, height, chartShown] : sizes) {
        w.resize(width, height);
        settle();
        SCOPED_TRACE(std::to_string(w.width()) + "x" + std::to_string(w.height()));
        EXPECT_EQ(w.wide(), width >= w.wideWidth());
        EXPECT_LE(w.height(), 600);
        EXPECT_TRUE(wholeInWindow(statusLine(w)->parentWidget()));
        EXPECT_TRUE(wholeInWindow(w.writeRow()));
        EXPECT_TRUE(wholeInWindow(w.xGauge()) && wholeInWindow(w.yGauge()));
        auto& chart = app->measureTools().historyChart();
        EXPECT_TRUE(chart.height() > 0 || !chartShown) << "the chart folded";
        if (chart.height() > 0) {
            EXPECT_TRUE(wholeInWindow(&chart)) << "a pane shows whole or folds, never squeezed";
        }
    }
}

TEST_F(WindowLayout, ComesBackWithItsSizePlaceSplittersAndTheChartsSpanAndScale)
{
    plovex::MainWindow& w = start();
    settle();
    w.setGeometry(100, 80, 1200, 620);
    settle();
    auto* work = w.findChild<QSplitter*>(QStringLiteral("workSplitter"));
    ASSERT_NE(work, nullptr);
    work->setSizes({150, work->height() - 150});
    const QList<int> division = work->sizes();
    auto* span = w.findChild<QComboBox*>(QStringLiteral("chartSpan"));
    auto* autoScale = w.findChild<QCheckBox*>(QStringLiteral("chartAutoScale"));
    auto* range = w.findChild<QDoubleSpinBox*>(QStringLiteral("chartRange"));
    ASSERT_TRUE(span && autoScale && range);
    span->setCurrentIndex(2);
    span->activated(2);
    autoScale->setChecked(false);
    range->setValue(2.5);
    app.reset();
    for (const char* key : {"windowGeometry", "windowSplitters", "chartSpan", "chartRange"})
        EXPECT_EQ(stored.values.count(key), 1u) << key;
    EXPECT_EQ(stored.values.count("serialPortPath"), 0u) << "a port for this run only stays unstored";

    plovex::MainWindow& again = start();
    settle();
    EXPECT_EQ(again.geometry(), QRect(100, 80, 1200, 620));
    EXPECT_EQ(again.findChild<QSplitter*>(QStringLiteral("workSplitter"))->sizes(), division);
    auto& chart = app->measureTools().historyChart();
    EXPECT_EQ(chart.span(), plovex::chart::HistoryChart::Span::TenMinutes);
    EXPECT_EQ(chart.fixedRange(), std::optional(2.5));
    app.reset();

    // Left on a screen that is gone, or stored wrong: whole on this screen, the chart as it comes.
    stored.values["windowGeometry"] = QByteArray("not a geometry").toBase64().toStdString();
    stored.values["windowSplitters"] = "%%%";
    stored.values["chartSpan"] = "7";
    stored.values["chartRange"] = "-3";
    plovex::MainWindow& fresh = start();
    settle();
    EXPECT_TRUE(QGuiApplication::primaryScreen()->availableGeometry().contains(fresh.frameGeometry()));
    EXPECT_EQ(app->measureTools().historyChart().span(), plovex::chart::HistoryChart::Span::OneMinute);
    EXPECT_EQ(app->measureTools().historyChart().fixedRange(), std::nullopt);
}

TEST_F(WindowLayout, KeepsItsWidthForLongNotesAndTheKeyboardReachesPauseAndThePortList)
{
    plovex::MainWindow& w = start();
    settle();
    w.resize(w.minimumSizeHint());
    settle();
    const QSize least = w.minimumSizeHint(), size = w.size();
    w.findChild<QLabel*>(QStringLiteral("zeroNote"))->setText(QString(200, u'X'));
    w.findChild<QLabel*>(QStringLiteral("recordStatus"))->setText(QString(200, u'R'));
    settle();
    EXPECT_EQ(w.minimumSizeHint(), least) << "a long note takes the room there is";
    EXPECT_EQ(w.size(), size);

    // Ctrl+P holds the chart and lets it go again; the button says how back to live.
    auto* pause = w.findChild<QAction*>(QStringLiteral("pauseAction"));
    auto* button = w.findChild<QPushButton*>(QStringLiteral("chartPause"));
    ASSERT_TRUE(pause && button);
    EXPECT_EQ(pause->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_P));
    auto& chart = app->measureTools().historyChart();
    pause->trigger();
    EXPECT_TRUE(chart.paused());
    EXPECT_EQ(button->text(), "Live");
    button->click();
    EXPECT_FALSE(chart.paused());
    EXPECT_FALSE(pause->isChecked());

    // Escape with the port list open closes the list, not the window; the
    // window has a Close button too.
    plovex::PrefsWindow& prefs = app->prefsWindow();
    prefs.portMenu()->addItems({"ttyUSB0", "ttyUSB1"});
    prefs.show();
    QApplication::setActiveWindow(&prefs);
    prefs.portMenu()->showPopup();
    ASSERT_TRUE(spinUntil([&] { return prefs.portMenu()->view()->isVisible(); }, 5s));
    QTest::keyClick(QApplication::activePopupWidget(), Qt::Key_Escape);
    EXPECT_TRUE(spinUntil([&] { return !prefs.portMenu()->view()->isVisible(); }, 5s));
    EXPECT_TRUE(prefs.isVisible());
    prefs.closeButton()->click();
    EXPECT_FALSE(prefs.isVisible());
}

} // namespace
