#pragma once
// The desktop application's objects, made and connected in one place: the
// hand-over of records to the GUI thread and the idle delivery of notifications, the
// main and preferences windows, the Qt outlets, the preferences seen through
// this run's port choice, and the controller with its outlets and actions
// connected.
//
//   DesktopApp app(config);   // everything made and connected
//   app.start();              // awakeFromNib, main window shown, launch
//
// Destroying it stores the window's layout in the preferences, then stops the controller (and with it the commPort's thread)
// before the windows and the hand-over go.

#include "app/SessionPreferences.h"
#include "app/actions/AlarmActions.h"
#include "app/actions/MeasureTools.h"
#include "app/actions/FileReview.h"
#include "app/actions/ParameterFileActions.h"
#include "app/actions/ReadingTools.h"
#include "app/outlets/QtAlert.h"
#include "app/outlets/QtOutlets.h"
#include "app/runtime/DesktopNotifier.h"
#include "app/runtime/DisplayPass.h"
#include "app/runtime/IdleDelivery.h"
#include "app/runtime/QtMainThread.h"
#include "app/windows/HealthStrip.h"
#include "app/windows/MainWindow.h"
#include "app/windows/ParameterTableModel.h"
#include "app/windows/PrefsWindow.h"
#include "controller/plovexController.h"
#include "discovery/SerialRegistry.h"
#include "link/commPort.h"
#include "platform/IdleHandOver.h"

#include <QTimer>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace platform {
class NotificationCenter;
class NotificationQueue;
class Preferences;
class Sleeper;
} // namespace platform

namespace plovex {

struct DesktopConfig {
    // The stored preferences. Default: the user's (FilePreferences::standardUserDefaults()).
    platform::Preferences* storedPrefs = nullptr;
    // A port used for this run only, read as if remembered but never stored.
    std::optional<std::string> sessionPortPath;
    std::optional<std::string> sessionPortName;
    // A tilt unit used for this run only ("deg", "mrad", ...), never stored.
    std::optional<std::string> sessionTiltUnit;
    // Where the serial ports are looked for. Default: the machine's.
    DiscoveryRoots discoveryRoots{};
    // The commPort's pause clock and line timeout; its main thread and queue
    // are always this application's.
    std::shared_ptr<platform::Sleeper> portSleeper;
    int lineTimeoutDeciseconds = 10;
    // The controller's idle-thread clock. Default: real time.
    std::shared_ptr<platform::Sleeper> idleSleeper;
    // The clock the controller reads the link's health by (silence, writes
    // not read back). Default: steady_clock::now.
    std::function<std::chrono::steady_clock::time_point()> clock;
    // The notification path. Default: the process's centre and queue.
    platform::NotificationCenter* center = nullptr;
    platform::NotificationQueue* queue = nullptr;
    // Answers the write confirmation instead of the QMessageBox (tests).
    AlertOutlet* alert = nullptr;
    // Takes the alarms' desktop notifications (summary, body) instead of the
    // session bus (tests).
    AlarmActions::Notify notify;
};

// The port as the window's title names it: the path the user chose (on the
// command line or in the preferences) as it stands, but a simulated board's
// by its name, as the preferences list it ("board2 (simulated)").
std::string portTitle(const std::string& path, const std::string& name, const DiscoveryRoots& roots);

class DesktopApp {
public:
    // Needs a QApplication. Installs its hand-over as the process's main
    // thread until it is destroyed.
    explicit DesktopApp(DesktopConfig config = {});
    ~DesktopApp();
    DesktopApp(const DesktopApp&) = delete;
    DesktopApp& operator=(const DesktopApp&) = delete;

    // The start-up sequence; once.
    void start();

    MainWindow& mainWindow() { return *main_; }
    PrefsWindow& prefsWindow() { return *prefsWindow_; }
    ParameterFileActions& parameterFiles() { return *parameterFiles_; }
    plovexController& controller() { return *controller_; }
    platform::NotificationQueue& queue() { return *queue_; }
    FloatReadout& xReadout() { return *xValue_; }
    FloatReadout& yReadout() { return *yValue_; }
    FloatReadout& temperatureReadout() { return *temperature_; }
    MeasureTools& measureTools() { return *measure_; }
    AlarmActions& alarmActions() { return *alarms_; }
    ReadingTools& readingTools() { return *reading_; }
    FileReview& fileReview() { return *review_; }
    const platform::IdleHandOver& recordHandOver() const { return handOver_; }

    // The link's health a few times a second: the controller's tick, the
    // strip's figures (the port by its stable name) and the window title
    // naming the port as the user chose it (portTitle).
    void showLinkHealth();

private:
    void connectActions();
    // The window's size, place and splitters and the chart's span and scale,
    // as the last run left them (the preferences beside the port and units).
    void restoreLayout();
    void storeLayout();

    DesktopConfig config_;
    platform::NotificationQueue* queue_;
    QtMainThread mainThread_;
    // The link's records go to the GUI thread in batches, at most one a
    // display frame while they stream in, and are posted from the queue when
    // the event loop is idle. The gathering time is a little longer than a
    // display pass's interval, so the pass showing a batch is due when the
    // batch comes and runs in the same turn of the loop. While the window is
    // out of sight nothing is drawn, and the records (each still delivered,
    // for the recording, the alarms and the chart's history) come a few
    // times a second.
    static constexpr std::chrono::milliseconds kInSightGather = DisplayPass::kFrame + std::chrono::milliseconds(1);
    static constexpr std::chrono::milliseconds kOutOfSightGather{250};
    platform::IdleHandOver handOver_{&mainThread_, *queue_, kInSightGather};
    std::unique_ptr<IdleDelivery> delivery_;
    std::unique_ptr<MainWindow> main_;
    std::unique_ptr<PrefsWindow> prefsWindow_;
    DisplayPass displayPass_;

    std::unique_ptr<FloatReadout> temperature_, xValue_, yValue_;
    std::unique_ptr<GaugeField> xGauge_, yGauge_;
    std::unique_ptr<TableViewField> table_;
    std::unique_ptr<LineEditField> description_, number_, value_;
    std::unique_ptr<LabelField> commState_;
    std::unique_ptr<PopUpMenu> ports_;
    std::unique_ptr<WindowField> prefsOutlet_;
    std::unique_ptr<QtAlert> alert_;
    std::unique_ptr<SessionPreferences> prefs_;
    std::unique_ptr<LabelField> statusLine_;
    QTimer linkTimer_;  // showLinkHealth
    static constexpr std::chrono::seconds kStripInterval{1};
    std::optional<std::chrono::steady_clock::time_point> stripShownAt_; // the strip's figures last written
    LinkHealth stripHealth_;                                             // and the link's state they showed
    QTimer portsTimer_; // the port list follows the hardware while the preferences are open
    std::string portPath_, portShown_; // the port's path and the stable name shown for it

    std::unique_ptr<plovexController> controller_; // goes first but for the tools that use it
    std::unique_ptr<MeasureTools> measure_;
    DesktopNotifier notifier_;
    std::unique_ptr<AlarmActions> alarms_;
    std::unique_ptr<ReadingTools> reading_;
    std::unique_ptr<FileReview> review_;
    std::unique_ptr<ParameterFileActions> parameterFiles_; // reset before the controller: it uses its link
    bool started_ = false;
};

} // namespace plovex
