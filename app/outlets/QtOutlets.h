#pragma once
// The controller's outlets over Qt widgets. Each adapter only displays what
// the controller sets and reports what the widget holds; behaviour stays in
// the controller. The adapters do not own their widgets (the windows do).

#include "controller/Outlets.h"

#include <QRect>
#include <QString>

#include <optional>

class QComboBox;
class QLabel;
class QLineEdit;
class QTableView;
class QWidget;

namespace plovex {

class DisplayPass;
class ParameterTableModel;
class plovexGaugeView;

// The leading integer of text, read as a text field's intValue: optional
// blanks, an optional sign, digits; 0 when there are none; clamped to the
// int range when it is out of it.
int leadingInt(const QString& text);

class LineEditField final : public TextFieldOutlet {
public:
    explicit LineEditField(QLineEdit* edit) : edit_(edit) {}
    void setStringValue(const std::string& text) override;
    void setIntValue(int value) override;
    int intValue() const override;
    void setTextColor(Color color) override;

private:
    QLineEdit* edit_;
};

// A label as a text field. Setting the text or the colour this outlet set
// last changes nothing (and repaints nothing).
class LabelField final : public TextFieldOutlet {
public:
    explicit LabelField(QLabel* label) : label_(label) {}
    void setStringValue(const std::string& text) override;
    void setIntValue(int value) override;
    int intValue() const override;
    void setTextColor(Color color) override;

private:
    QLabel* label_;
    std::string shownText_;  // what the label was last set to through this outlet
    bool textSet_ = false;
    Color shownColor_{};
    bool colorSet_ = false;
};

// A number with a fixed count of decimals and a unit, such as "12.34°".
// With a display pass the label shows the value in the next pass; without,
// at once. A value whose text is the one shown sets nothing.
class FloatReadout final : public FloatReadoutOutlet {
public:
    FloatReadout(QLabel* label, int decimals, QString unit, DisplayPass* pass = nullptr);
    void setFloatValue(float value) override;
    // A dash, greyed, until the next value.
    void setNoValue() override;
    float floatValue() const { return value_; }
    bool showsNoValue() const { return noValue_; }
    // Shows the value, and those to come, with these decimals and unit.
    void setFormat(int decimals, QString unit);
    // Shows value in place of what the controller sets (the row of a file
    // under the chart's cursor); nullopt shows the controller's again.
    void setHeld(std::optional<float> value);

    // The text shown for value ("-0.00" is shown as "0.00"; no number as "—").
    static QString format(float value, int decimals, const QString& unit);

private:
    void show();
    // show() in the window's next display pass (at once without one).
    void showInNextPass();

    QLabel* label_;
    int decimals_;
    QString unit_;
    DisplayPass* pass_;
    float value_ = 0.0f;
    float shownValue_ = 0.0f;
    bool shown_ = false;
    bool noValue_ = true;       // asked for the dash, or nothing measured yet
    bool shownNoValue_ = false; // the label shows it
    std::optional<float> held_;
};

// bounds() and setNeedsDisplayInRect() speak y-up coordinates with the
// origin at the lower left; the widget's own are y-down from the upper left.
// Without a display pass, a marked area is handed to Qt at once. With one,
// the next pass repaints what changed in it: the needle's old and new place
// when the needle drawn for the angle now differs from the one drawn last
// (the needle's tip moves in whole units, so a small change of angle often
// draws the very same needle), else nothing.
class GaugeField final : public GaugeOutlet {
public:
    explicit GaugeField(plovexGaugeView* view, DisplayPass* pass = nullptr);
    void setAngle(float degrees) override;
    Rect bounds() const override;
    void setNeedsDisplayInRect(Rect rect) override;
    // A stale needle is drawn in the disabled (grey) colour.
    void setStale(bool stale) override;
    // The needle at degrees, not greyed, in place of what the controller
    // sets; nullopt shows the controller's again.
    void setHeld(std::optional<float> degrees);

    // Where the needle and hub are drawn at angle, in the view's own coordinates.
    static QRect needleArea(const QWidget* view, float angle);

private:
    plovexGaugeView* view_;
    DisplayPass* pass_;
    QRect marked_;        // marked since the last pass, in the view's coordinates
    float paintedAngle_;  // the angle the needle was last repainted at
    float liveAngle_;     // as the controller set it
    bool liveStale_ = false;
    std::optional<float> held_;
};

// The parameter table: the view that shows it and the model that asks the
// controller for its cells.
class TableViewField final : public TableViewOutlet {
public:
    TableViewField(QTableView* view, ParameterTableModel* model) : view_(view), model_(model) {}
    void reloadData() override;
    int selectedRow() const override;

private:
    QTableView* view_;
    ParameterTableModel* model_;
};

class PopUpMenu final : public PopUpMenuOutlet {
public:
    explicit PopUpMenu(QComboBox* box) : box_(box) {}
    void removeAllItems() override;
    void insertItemWithTitle(const std::string& title, int index) override;
    int indexOfSelectedItem() const override;
    bool hasItemWithTitle(const std::string& title) const override;
    void selectItemWithTitle(const std::string& title) override;

private:
    QComboBox* box_;
};

class WindowField final : public WindowOutlet {
public:
    explicit WindowField(QWidget* window) : window_(window) {}
    void makeKeyAndOrderFront() override;

private:
    QWidget* window_;
};

} // namespace plovex
