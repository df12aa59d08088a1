#pragma once
// Taking readings in the window: the "stable" light with the instruments,
// under the link's health, Capture (Space, a button beside the light,
// Measure > Capture), and the list of captured readings (CaptureListPanel), a
// pane of the work area over the parameter table, shown from the first
// capture on and shown or hidden with Measure > Captured Readings.
//
// The light is on while the spread of each angle over the last N seconds
// is below the threshold (stats::StabilityWatch); its tooltip says the
// spreads. A capture averages the next T seconds of measurements, as the
// readouts show them (less the zero, in the unit), optionally once stable;
// pressing Capture again while it runs cancels it. N, the threshold, T and
// the waiting are set in the preferences window and stored.

#include "platform/NotificationCenter.h"
#include "platform/Preferences.h"
#include "record/Capture.h"
#include "stats/Stability.h"

#include <QObject>
#include <QTimer>

#include <optional>

class QAction;
class QCheckBox;
class QGroupBox;
class QDoubleSpinBox;
class QLabel;
class QMenu;
class QPushButton;
class QWidget;

namespace plovex {

class CaptureListPanel;
class MainWindow;
class PrefsWindow;
class plovexController;

class ReadingTools final : public QObject {
public:
    ReadingTools(MainWindow& window, PrefsWindow& prefsWindow, QMenu& menu, plovexController& controller,
                 platform::NotificationCenter& center, platform::Preferences& prefs);
    ~ReadingTools() override;

    QLabel* stableLight() const { return light_; }
    QPushButton* captureButton() const { return captureButton_; }
    CaptureListPanel* captureList() const { return list_; }
    // Starts a capture, or cancels the one that runs.
    void captureOrCancel();
    // Shows the stability and moves a running capture on, as of now
    // (the timer calls it a few times a second).
    void tick(record::WallClock::time_point now);

private:
    QWidget* makeSettings();
    void readSettings();
    void storeSettings();
    void measurementArrived(const platform::Notification& n);
    void finishCapture();

    MainWindow& window_;
    plovexController& controller_;
    platform::NotificationCenter& center_;
    platform::Preferences& prefs_;
    platform::NotificationCenter::Token observer_ = 0;
    stats::StabilityWatch watch_;
    std::optional<record::Capture> capture_;
    QTimer timer_;

    QLabel* light_ = nullptr;
    QPushButton* captureButton_ = nullptr;
    QAction* captureAction_ = nullptr;
    QGroupBox* pane_ = nullptr;
    QAction* showList_ = nullptr;
    CaptureListPanel* list_ = nullptr;
    QDoubleSpinBox* stableSeconds_ = nullptr;
    QDoubleSpinBox* stableSpread_ = nullptr;
    QDoubleSpinBox* captureSeconds_ = nullptr;
    QCheckBox* waitStable_ = nullptr;
};

} // namespace plovex
