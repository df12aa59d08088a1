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
#include <QLabel>
#include <QLineEdit>
#include <QPaintEvent>
#include <QPushButton>
#include <QTableView>
#include <QTest>

#include <gtest/gtest.h>

#include <climits>

namespace {

using plovex::leadingInt;

TEST(TextFields, NumberAndValueFieldsTakeIntegersOnly)
{
    apptest::ensureApplication();
    plovex::MainWindow window;
    QLineEdit* number = window.numberField();
    QLineEdit* value = window.valueField();

    QTest::keyClicks(number, "1x6");
    EXPECT_EQ(number->text(), "16"); // the letter is refused...
    EXPECT_FALSE(number->hasAcceptableInput()); // ...and 16 is past the last parameter
    number->clear();
    QTest::keyClicks(number, "15");
    EXPECT_TRUE(number->hasAcceptableInput());
    number->clear();
    QTest::keyClicks(number, "-1");
    EXPECT_EQ(number->text(), "1"); // no negative parameter numbers

    QTest::keyClicks(value, "-70a000");
    EXPECT_EQ(value->text(), "-70000");
    EXPECT_TRUE(value->hasAcceptableInput());
    value->clear();
    QTest::keyClicks(value, "1.5");
    EXPECT_EQ(value->text(), "15");
    value->clear();
    QTest::keyClicks(value, "99999999999");
    EXPECT_FALSE(value->hasAcceptableInput());
}

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


} // namespace
