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

TEST(TextFields, IntValueReadsTheLeadingInteger)
{
    EXPECT_EQ(leadingInt("42"), 42);
    EXPECT_EQ(leadingInt("  -17xyz"), -17);
    EXPECT_EQ(leadingInt("+8"), 8);
    EXPECT_EQ(leadingInt(""), 0);
    EXPECT_EQ(leadingInt("abc"), 0);
    EXPECT_EQ(leadingInt("-"), 0);
    EXPECT_EQ(leadingInt("12 34"), 12);
    EXPECT_EQ(leadingInt("2147483647"), INT_MAX);
    EXPECT_EQ(leadingInt("-2147483648"), INT_MIN);
    EXPECT_EQ(leadingInt("99999999999999999999"), INT_MAX);
    EXPECT_EQ(leadingInt("-99999999999999999999"), INT_MIN);
}

TEST(TextFields, LineEditAndLabelCarryTextNumbersAndColour)
{
    apptest::ensureApplication();
    QLineEdit edit;
    plovex::LineEditField field(&edit);
    field.setIntValue(-25536);
    EXPECT_EQ(edit.text(), "-25536");
    EXPECT_EQ(field.intValue(), -25536);
    field.setStringValue("Rx measurement variance");
    EXPECT_EQ(field.stringValue(), "Rx measurement variance");

    QLabel label;
    plovex::LabelField state(&label);
    state.setStringValue("Comms OK");
    state.setTextColor(plovex::Color::greenColor());
    EXPECT_EQ(label.text(), "Comms OK");
    EXPECT_EQ(label.palette().color(QPalette::WindowText), QColor(0, 255, 0));
    state.setTextColor(plovex::Color::redColor());
    EXPECT_EQ(label.palette().color(QPalette::WindowText), QColor(255, 0, 0));
}

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

TEST(FloatReadouts, ShowDegreesAndCelsiusWithTheirDecimals)
{
    using plovex::FloatReadout;
    EXPECT_EQ(FloatReadout::format(45.00274658203125f, 2, "°"), "45.00°");
    EXPECT_EQ(FloatReadout::format(180.0054931640625f, 2, "°"), "180.01°");
    EXPECT_EQ(FloatReadout::format(-90.0f, 2, "°"), "-90.00°");
    EXPECT_EQ(FloatReadout::format(-0.001f, 2, "°"), "0.00°");
    EXPECT_EQ(FloatReadout::format(23.5f, 1, " °C"), "23.5 °C");
    EXPECT_EQ(FloatReadout::format(-0.5f, 1, " °C"), "-0.5 °C");
    EXPECT_EQ(FloatReadout::format(0.1f, 1, " °C"), "0.1 °C");

    apptest::ensureApplication();
    QLabel label;
    FloatReadout readout(&label, 2, "°");
    readout.setFloatValue(-12.345f);
    EXPECT_EQ(label.text(), "-12.35°");
    EXPECT_FLOAT_EQ(readout.floatValue(), -12.345f);
}

// Records which areas the gauge was asked to repaint.
class RepaintCounter : public QObject {
public:
    bool eventFilter(QObject*, QEvent* e) override
    {
        if (e->type() == QEvent::Paint)
            regions.push_back(static_cast<QPaintEvent*>(e)->rect());
        return false;
    }
    std::vector<QRect> regions;
};

TEST(GaugeOutlet, BoundsAndRepaintSpeakYUpCoordinates)
{
    apptest::ensureApplication();
    plovex::plovexGaugeView view;
    view.resize(240, 200);
    view.show();
    apptest::spinFor(std::chrono::milliseconds(20));
    plovex::GaugeField gauge(&view);

    EXPECT_EQ(gauge.bounds(), (plovex::Rect{0, 0, 240, 200}));
    gauge.setAngle(33.5f);
    EXPECT_FLOAT_EQ(view.angle(), 33.5f);
    EXPECT_FLOAT_EQ(gauge.angle(), 33.5f);

    RepaintCounter counter;
    view.installEventFilter(&counter);
    // The lower-left 50 x 40 in y-up terms is the widget's bottom-left corner.
    gauge.setNeedsDisplayInRect({0, 0, 50, 40});
    ASSERT_TRUE(apptest::spinUntil([&] { return !counter.regions.empty(); }, std::chrono::seconds(2)));
    EXPECT_EQ(counter.regions.front(), QRect(0, 160, 50, 40));
    counter.regions.clear();
    gauge.setNeedsDisplayInRect(gauge.bounds());
    ASSERT_TRUE(apptest::spinUntil([&] { return !counter.regions.empty(); }, std::chrono::seconds(2)));
    EXPECT_EQ(counter.regions.front(), view.rect());
}

TEST(DisplayPass, ABurstOfMarksCostsOneRepaintShowingTheLastState)
{
    apptest::ensureApplication();
    plovex::plovexGaugeView view;
    view.resize(240, 240);
    view.show();
    apptest::spinFor(std::chrono::milliseconds(20));
    QLabel label;
    plovex::DisplayPass pass;
    plovex::GaugeField gauge(&view, &pass);
    plovex::FloatReadout readout(&label, 2, "°", &pass);
    RepaintCounter counter;
    view.installEventFilter(&counter);

    for (int i = 1; i <= 50; ++i) {
        gauge.setAngle(static_cast<float>(i));
        readout.setFloatValue(static_cast<float>(i));
        gauge.setNeedsDisplayInRect(i % 2 ? plovex::Rect{0, 0, 10, 10} : plovex::Rect{230, 230, 10, 10});
    }
    // Nothing is shown before the pass...
    EXPECT_EQ(label.text(), "");
    EXPECT_EQ(pass.passes(), 0u);
    ASSERT_TRUE(apptest::spinUntil([&] { return !counter.regions.empty(); }, std::chrono::seconds(2)));
    apptest::spinFor(std::chrono::milliseconds(40));
    // ...then once, with the last value and both marked corners.
    EXPECT_EQ(pass.passes(), 1u);
    EXPECT_EQ(label.text(), "50.00°");
    ASSERT_EQ(counter.regions.size(), 1u);
    EXPECT_EQ(counter.regions.front(), QRect(0, 0, 240, 240)); // the bounding rect of both corners

    // A later mark gets a pass of its own.
    readout.setFloatValue(-1.0f);
    ASSERT_TRUE(apptest::spinUntil([&] { return pass.passes() == 2; }, std::chrono::seconds(2)));
    EXPECT_EQ(label.text(), "-1.00°");
}

TEST(PopUpMenu, InsertsSelectsAndFindsTitlesExactly)
{
    apptest::ensureApplication();
    QComboBox box;
    plovex::PopUpMenu menu(&box);
    menu.insertItemWithTitle("ttyS0", 0);
    menu.insertItemWithTitle("ttyUSB0", 1);
    menu.insertItemWithTitle("ttyACM0", 1);
    EXPECT_EQ(menu.numberOfItems(), 3);
    EXPECT_EQ(box.itemText(1), "ttyACM0");
    EXPECT_TRUE(menu.hasItemWithTitle("ttyUSB0"));
    EXPECT_FALSE(menu.hasItemWithTitle("TTYUSB0"));
    EXPECT_FALSE(menu.hasItemWithTitle("ttyUSB"));
    menu.selectItemWithTitle("ttyUSB0");
    EXPECT_EQ(menu.indexOfSelectedItem(), 2);
    menu.selectItemWithTitle("absent"); // leaves the selection alone
    EXPECT_EQ(menu.indexOfSelectedItem(), 2);
    menu.removeAllItems();
    EXPECT_EQ(menu.numberOfItems(), 0);
    EXPECT_EQ(menu.indexOfSelectedItem(), -1);
}

TEST(PrefsWindow, ApplyIsOfferedOnlyWhenThereIsAPort)
{
    apptest::ensureApplication();
    plovex::PrefsWindow prefs;
    EXPECT_EQ(prefs.windowTitle(), "Preferences");
    EXPECT_FALSE(prefs.applyButton()->isEnabled());
    prefs.portMenu()->addItem("ttyUSB0");
    EXPECT_TRUE(prefs.applyButton()->isEnabled());
    prefs.portMenu()->clear();
    EXPECT_FALSE(prefs.applyButton()->isEnabled());
}

struct TableFixture {
    TableFixture()
    {
        view.setModel(&model);
        view.setSelectionBehavior(QAbstractItemView::SelectRows);
        view.setSelectionMode(QAbstractItemView::SingleSelection);
        model.setDataSource({[this] { return rows; },
                             [this](const std::string& id, int row) {
                                 ++asked;
                                 return id + ":" + std::to_string(row) + ":" + std::to_string(values[row % 16]);
                             }});
    }
    QString cell(int row, int column) const { return model.data(model.index(row, column)).toString(); }

    struct Application {
        Application() { apptest::ensureApplication(); }
    } application; // first: the widgets below need it
    int rows = 16;
    int asked = 0;
    int values[16] = {};
    plovex::ParameterTableModel model;
    QTableView view;
    plovex::TableViewField field{&view, &model};
};

TEST(ParameterTable, ColumnsAskTheDataSourceByIdentifier)
{
    TableFixture t;
    EXPECT_EQ(t.model.rowCount(), 16);
    EXPECT_EQ(t.model.columnCount(), 3);
    EXPECT_EQ(t.model.headerData(0, Qt::Horizontal).toString(), "Parameter");
    EXPECT_EQ(t.model.headerData(1, Qt::Horizontal).toString(), "Description");
    EXPECT_EQ(t.model.headerData(2, Qt::Horizontal).toString(), "Value");
    EXPECT_EQ(t.cell(3, 0), "Parameter:3:0");
    EXPECT_EQ(t.cell(15, 1), "Description:15:0");
    EXPECT_EQ(t.cell(0, 2), "Value:0:0");
    EXPECT_FALSE(t.model.flags(t.model.index(0, 2)) & Qt::ItemIsEditable);
}

TEST(ParameterTable, ReloadShowsNewValuesAndKeepsTheSelection)
{
    TableFixture t;
    EXPECT_EQ(t.field.selectedRow(), -1);
    t.view.selectRow(5);
    EXPECT_EQ(t.field.selectedRow(), 5);

    t.values[5] = -1;
    EXPECT_EQ(t.cell(5, 2), "Value:5:-1"); // cells are asked anew each time
    int changed = 0;
    QObject::connect(&t.model, &QAbstractItemModel::dataChanged, [&] { ++changed; });
    t.field.reloadData();
    EXPECT_EQ(changed, 1);
    EXPECT_EQ(t.field.selectedRow(), 5);

    t.view.clearSelection();
    EXPECT_EQ(t.field.selectedRow(), -1);
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
