#pragma once
// The window's alarms (controller/WindowAlarms.h) on screen: Measure >
// Alarms… and Alarm History…, a red banner above the gauges naming the latest
// raised alarm, the readouts of raised alarms in red, the rules' limits
// marked on the dials, and a desktop notification of each change while the
// window is not the active one. The rules are kept in the preferences
// (controller/AlarmPreferences.h). Each measurement the window shows is
// watched before the recording writes it, so its row names what it raised.

#include "controller/AlarmPreferences.h"
#include "controller/WindowAlarms.h"

#include <QObject>
#include <QTimer>

#include <functional>
#include <memory>

class QAction;
class QLabel;

namespace platform {
class Preferences;
}

namespace plovex {

class AlarmHistoryDialog;
class MainWindow;
class MeasureTools;
class plovexController;

class AlarmActions final : public QObject {
public:
    // A desktop notification's summary and body.
    using Notify = std::function<void(const std::string& summary, const std::string& body)>;

    AlarmActions(MainWindow& window, MeasureTools& tools, plovexController& controller, platform::Preferences& prefs,
                 Notify notify);
    // Leaves the measurements and the recording to the tools alone.
    ~AlarmActions() override;

    WindowAlarms& alarms() { return alarms_; }
    QLabel* banner() const { return banner_; }
    QAction* alarmsAction() const { return alarmsAction_; }
    QAction* historyAction() const { return historyAction_; }

    // New rules and defaults: stored, and watched from the next measurement.
    void apply(const AlarmSetup& setup);

private:
    void changed(const std::vector<alarm::AlarmEvent>& events);
    void show();

    MainWindow& window_;
    MeasureTools& tools_;
    plovexController& controller_;
    platform::Preferences& prefs_;
    Notify notify_;
    AlarmSetup setup_;
    WindowAlarms alarms_;
    QLabel* banner_ = nullptr;
    QAction* alarmsAction_ = nullptr;
    QAction* historyAction_ = nullptr;
    AlarmHistoryDialog* history_ = nullptr;
    QTimer tick_; // silence is raised without a record
};

} // namespace plovex
