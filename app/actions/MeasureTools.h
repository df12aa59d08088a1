#pragma once
// The window's measurement tools, under the gauges: the history chart with
// its span, scale and pause controls; zero X, Y, both and clear, with the
// zero in force said plainly ("X zeroed at 12.34°") and the unzeroed angle
// in the readouts' tooltips; the unit of the readouts and the chart; and
// the recording. A Measure menu carries the same actions with access keys and
// shortcuts: Record… Ctrl+R, Pause Chart Ctrl+P (the button then reads
// "Live": the way back), Zero X Ctrl+1, Zero Y Ctrl+2, Zero Both Ctrl+0,
// Clear Zero Ctrl+Shift+0. A readout's tooltip (the angle before any zero)
// follows the value while it is up.
//
// The zero and the unit belong to the controller (TiltReference); these
// controls ask it to change them and show what it holds. The chart and the
// recording receive every measurement record from the notification centre,
// as the controller does, and place it at the time it was measured.

#include "app/actions/RecordingControl.h"
#include "platform/NotificationCenter.h"

#include <QObject>
#include <QPoint>

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <memory>

class QAction;
class QActionGroup;
class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QMenu;
class QPushButton;
class QWidget;

namespace platform {
class Preferences;
}

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

    // The chart's span and scale, kept in the preferences between runs; a
    // value that cannot be read leaves the control as it is.
    void rememberChart(platform::Preferences& prefs) const;
    void recallChart(const platform::Preferences& prefs);

    // Places w where the chart is, hidden, for a view shown in the chart's
    // place while the chart is hidden (a file's chart).
    void addInChartsPlace(QWidget* w);

    RecordingControl& recording() { return *recording_; }
    chart::HistoryChart& historyChart() { return *chart_; }
    QAction* recordAction() const { return record_; }
    QMenu* measureMenu() const { return menu_; }
    // Sees each measurement first and gives the recording's alarms column
    // for it (nullopt: none).
    void setAlarmWatch(std::function<std::optional<std::string>(const Measurement&)> watch)
    {
        alarmWatch_ = std::move(watch);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* makePanel();
    void makeMenu();
    void zero(bool x, bool y);
    void chooseUnit(int index);
    void measurementArrived(const platform::Notification& n);
    void applyScale();
    QString measuredText(QWidget* readout) const;
    void updateTip();

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
    QAction* record_ = nullptr;
    QMenu* menu_ = nullptr;
    std::function<std::optional<std::string>(const Measurement&)> alarmWatch_;
    QAction* zeroActions_[4] = {};
    QAction* pauseAction_ = nullptr;
    QWidget* tipFor_ = nullptr; // the readout whose tooltip is up
    QPoint tipAt_;
    QActionGroup* unitActions_ = nullptr;
    std::unique_ptr<RecordingControl> recording_;
};

} // namespace plovex
