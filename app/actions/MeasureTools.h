#pragma once
// The window's measurement tools, under the gauges: the history chart with
// its span, scale and pause controls; zero X, Y, both and clear, with the
// zero in force said plainly ("X zeroed at 12.34°") and the unzeroed angle
// in the readouts' tooltips; the unit of the readouts and the chart; and
// the recording. A Measure menu carries the same actions (Record, Ctrl+R).
//
// The zero and the unit belong to the controller (TiltReference); these
// controls ask it to change them and show what it holds. The chart and the
// recording receive every measurement record from the notification centre,
// as the controller does, and place it at the time it was measured.

#include "app/actions/RecordingControl.h"
#include "platform/NotificationCenter.h"

#include <QObject>

#include <chrono>
#include <memory>

class QAction;
class QActionGroup;
class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QMenu;
class QPushButton;

namespace plovex {

namespace chart {
class HistoryChart;
}
class DisplayPass;
class FloatReadout;
class MainWindow;
class plovexController;

class MeasureTools final : public QObject {
public:
    MeasureTools(MainWindow& window, plovexController& controller, platform::NotificationCenter& center,
                 DisplayPass& pass, FloatReadout& xReadout, FloatReadout& yReadout);
    // Stops observing, then closes a recording's file.
    ~MeasureTools() override;

    // Shows the unit the controller holds (after it read the preferences).
    void showReference();

    RecordingControl& recording() { return *recording_; }
    chart::HistoryChart& historyChart() { return *chart_; }
    QAction* recordAction() const { return record_; }
    QMenu* menu() const { return menu_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* makePanel();
    void makeMenu();
    void zero(bool x, bool y);
    void chooseUnit(int index);
    void measurementArrived(const platform::Notification& n);

    MainWindow& window_;
    plovexController& controller_;
    platform::NotificationCenter& center_;
    DisplayPass& pass_;
    FloatReadout& xReadout_;
    FloatReadout& yReadout_;
    platform::NotificationCenter::Token observer_ = 0;
    platform::RecordTime historyFrom_{}; // the chart's history holds what was measured since
    int degreeReadoutWidth_ = 0;

    chart::HistoryChart* chart_ = nullptr;
    QLabel* zeroLabel_ = nullptr;
    QComboBox* units_ = nullptr;
    QComboBox* span_ = nullptr;
    QCheckBox* autoScale_ = nullptr;
    QDoubleSpinBox* range_ = nullptr;
    QPushButton* pause_ = nullptr;
    QPushButton* recordButton_ = nullptr;
    QLabel* recordStatus_ = nullptr;
    QPushButton* zeroButtons_[4] = {};
    QMenu* menu_ = nullptr;
    QAction* record_ = nullptr;
    QAction* zeroActions_[4] = {};
    QActionGroup* unitActions_ = nullptr;
    std::unique_ptr<RecordingControl> recording_;
};

} // namespace plovex
