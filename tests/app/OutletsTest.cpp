// The Qt outlets: what the controller sets shows in the widgets, and what
// the widgets hold reads back as the controller expects.

#include "app/DisplayPass.h"
#include "app/MainWindow.h"
#include "app/ParameterTable.h"
#include "app/PrefsWindow.h"
#include "app/QtOutlets.h"
#include "app/SessionPreferences.h"
#include "gauge/plovexGaugeView.h"
#include "tests/app/AppTestSupport.h"

#include <QComboBox>
#include <QGuiApplication>
#include <QScreen>
#include <QWindow>
#include <QLabel>
#include <QLineEdit>
#include <QPaintEvent>
#include <QPushButton>
#include <QTableView>
#include <QTest>

#include <gtest/gtest.h>

#include <climits>
#include <cmath>

using namespace std::chrono_literals;

namespace {

using plovex::leadingInt;

TEST(SessionPreferences, ThisRunsPortReadsAsRememberedButIsNeverStored)
{
    apptest::MemoryPreferences stored;
    stored.values["serialPortName"] = "ttyUSB0";
    plovex::SessionPreferences prefs(stored);
    prefs.overlay("serialPortPath", "/run/sim");
    EXPECT_EQ(prefs.objectForKey("serialPortPath"), "/run/sim");
    EXPECT_EQ(prefs.objectForKey("serialPortName"), "ttyUSB0");
    EXPECT_FALSE(stored.values.count("serialPortPath"));

    // Applying a port stores it, and from then on the store answers.
    prefs.setObject("/dev/ttyACM0", "serialPortPath");
    EXPECT_TRUE(prefs.synchronize());
    EXPECT_EQ(stored.values["serialPortPath"], "/dev/ttyACM0");
    EXPECT_EQ(prefs.objectForKey("serialPortPath"), "/dev/ttyACM0");
    EXPECT_EQ(stored.synchronizations, 1);
}

// What the window shows: its backing store as the screen has it.
QImage onScreen(QWidget& window)
{
    return QGuiApplication::primaryScreen()->grabWindow(window.winId()).toImage();
}

// Whether the needle of a 240 x 240 gauge at gaugeAt shows along angle (in
// steps of 45 degrees): ink at 40 % to 90 % of its length.
bool needleShows(const QImage& image, QPoint gaugeAt, double degrees, QColor ink)
{
    const double r = degrees * M_PI / 180.0;
    for (int step = 40; step <= 90; step += 10) {
        const double len = 110.0 * step / 100.0;
        const QPoint p = gaugeAt + QPoint(static_cast<int>(120 + len * std::sin(r)), static_cast<int>(120 - len * std::cos(r)));
        if (image.pixelColor(p) != ink)
            return false;
    }
    return true;
}

TEST(DisplayPass, ShowsOnlyWhatChangedAndNothingWhileMinimisedThenTheLatestState)
{
    apptest::ensureApplication();
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
    int gaugePaints = 0;
    struct PaintCounter : QObject {
        int& n;
        explicit PaintCounter(int& count) : n(count) {}
        bool eventFilter(QObject*, QEvent* e) override
        {
            n += e->type() == QEvent::Paint;
            return false;
        }
    } counter(gaugePaints);
    gauge->installEventFilter(&counter);

    plovex::DisplayPass pass;
    pass.watch(&window);
    plovex::FloatReadout readout(label, 2, QStringLiteral("°"), &pass);
    plovex::GaugeField needle(gauge, &pass);
    auto record = [&](float degrees) {
        readout.setFloatValue(degrees);
        needle.setAngle(degrees);
        needle.setNeedsDisplayInRect(needle.bounds()); // as the controller marks it, every record
    };
    window.show();
    ASSERT_TRUE(apptest::spinUntil([&] { return window.windowHandle() && window.windowHandle()->isExposed(); }, 5s));
    apptest::spinFor(50ms);
    const QPoint gaugeAt(0, 40);

    // A needle that moved is drawn where it is now, and the old one is gone.
    record(90.0f);
    ASSERT_TRUE(apptest::spinUntil([&] { return label->text() == "90.00°"; }, 2s));
    apptest::spinFor(50ms);
    EXPECT_TRUE(needleShows(onScreen(window), gaugeAt, 90.0, ink));
    EXPECT_FALSE(needleShows(onScreen(window), gaugeAt, 0.0, ink)) << "the old needle is still on screen";

    // A change of angle that draws the very same needle repaints nothing.
    gaugePaints = 0;
    record(90.001f);
    apptest::spinFor(60ms);
    EXPECT_EQ(gaugePaints, 0);

    // Minimised: records change nothing on screen and run no pass...
    window.showMinimized();
    ASSERT_TRUE(apptest::spinUntil([&] { return window.isMinimized(); }, 2s));
    const unsigned long passes = pass.passes();
    record(-45.0f);
    record(180.0f);
    apptest::spinFor(100ms);
    EXPECT_EQ(pass.passes(), passes);
    EXPECT_EQ(gaugePaints, 0);
    EXPECT_EQ(label->text(), "90.00°");
    // ...and once the window is back it shows the last record.
    window.showNormal();
    ASSERT_TRUE(apptest::spinUntil([&] { return label->text() == "180.00°"; }, 2s));
    apptest::spinFor(50ms);
    EXPECT_TRUE(needleShows(onScreen(window), gaugeAt, 180.0, ink));
    EXPECT_FALSE(needleShows(onScreen(window), gaugeAt, 90.0, ink));
}

} // namespace
