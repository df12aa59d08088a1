#pragma once
// plovexController: the monitor's one controller. It fills the port menu at
// start, remembers the chosen port in the user's preferences, creates and
// opens the commPort, shows every measurement record on the gauges and
// readouts, keeps the EEPROM parameter table and writes one parameter after
// the user confirms it.
//
// Everything but idle() runs on the main thread. The window connects the
// outlets before awakeFromNib(); the controller never reassigns them.

#include "controller/Outlets.h"
#include "controller/TiltReference.h"
#include "discovery/PortDiscovery.h"
#include "discovery/SerialRegistry.h"
#include "link/BoardFacts.h"
#include "link/Measurement.h"
#include "link/commPort.h"
#include "platform/Notification.h"
#include "platform/NotificationCenter.h"

#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <stop_token>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace platform {
class Preferences;
class Sleeper;
} // namespace platform

namespace plovex {

// What the controller takes from the platform. Every field left empty gets
// the process's real one.
struct ControllerEnvironment {
    // The user's preferences store. Default: FilePreferences::standardUserDefaults().
    platform::Preferences* prefs = nullptr;
    // Where the two record notifications are observed. Default: NotificationCenter::defaultCenter().
    platform::NotificationCenter* center = nullptr;
    // Where the serial ports are looked for. Default: the machine's.
    DiscoveryRoots discoveryRoots{};
    // Creates the device link at launch. Default: std::make_unique<commPort>().
    // May return null (or throw) when no link can be made; the controller
    // then reports it once and goes on without one.
    std::function<std::unique_ptr<commPort>()> makePort;
    // The idle thread's clock. Default: platform::realSleeper().
    std::shared_ptr<platform::Sleeper> idleSleeper;
    // The clock of the link's health (silence, write answers). Default: steady_clock::now.
    std::function<std::chrono::steady_clock::time_point()> clock;
};

class plovexController {
public:
    static constexpr int kParameterCount = board::kParameterCount;
    // No measurement for this long while the link is up shows as "NO Comms".
    static constexpr std::chrono::seconds kSilenceLimit{2};
    // A confirmed write not read back within this much time with the link up is reported.
    static constexpr std::chrono::seconds kWriteAnswerLimit{3};
    // The value column of a parameter not read from the board yet.
    static constexpr const char* kNoValue = "—";

    using ParameterState = plovex::ParameterState;

    // Throws std::invalid_argument naming the first outlet that is not connected.
    explicit plovexController(ControllerOutlets outlets, ControllerEnvironment env = {});
    // Removes the subscriptions and stops and joins the idle thread. The
    // application never destroys its controller; tests do.
    ~plovexController();
    plovexController(const plovexController&) = delete;
    plovexController& operator=(const plovexController&) = delete;

    // Start-up, once each, in this order.
    void awakeFromNib();
    void applicationDidFinishLaunching();

    // Notification handlers ("inclinoData", "inclinoParameter").
    void dataFromRell(const platform::Notification& notification);
    void parameterFromRell(const platform::Notification& notification);

    // The idle thread's body: sleeps 0.5 s at a time until stop is requested.
    void idle(std::stop_token stop);

    // Actions.
    void applyPrefsAction();
    void writeParameter();

    // The link's health, a few times a second from the window's timer:
    // silence, a changed reason why the port does not open, writes that
    // were not read back in time.
    void linkTick();
    // Lists the serial ports again; when the list changed, refills the menu
    // keeping the selected port if it is still there. True when it changed.
    bool refreshPortMenu();

    // The parameter table's data source and delegate. Columns are told apart
    // by identifier ("Parameter", "Description", "Value"; anything else
    // shows "???"); a row outside 0..15 has no description or value ("").
    int numberOfRowsInTableView() const;
    std::string objectValueForTableColumn(const std::string& identifier, int row) const;
    void tableViewSelectionDidChange(const TableViewOutlet* sender);

    // The zero and the unit the angles are shown with (TiltReference). A
    // zero is the angle last measured with the link up; false, with nothing
    // changed, when there is none yet. Each change is stored in the
    // preferences and shows from the next record.
    bool zeroAxes(bool x, bool y);
    void clearZero();
    void setTiltUnit(board::TiltUnit unit);
    const TiltReference& tiltReference() const { return reference_; }
    // The angles last measured with the link up, in degrees, unzeroed.
    bool hasMeasurement() const { return measured_; }
    float measuredAngle(Axis axis) const { return axis == Axis::X ? measuredX_ : measuredY_; }

    // Read access for the window and for tests.
    int portCount() const { return static_cast<int>(bsdName.size()); }
    const char* bsdNameEntry(int k) const;  // "" outside the table
    const char* bsdPathEntry(int k) const;  // "" outside the table
    int16_t parameterValue(int p) const;    // 0 outside 0..15
    std::string description(int p) const;   // "" outside 0..15
    commPort* port() const { return thePort.get(); }
    ParameterState parameterState(int p) const; // NotRead outside 0..15
    // Why a row is not current, for its tooltip; "" for a current row.
    std::string parameterNote(int p) const;
    // Whether the link lets a write through now, and why not.
    bool writeAllowed() const { return writeBlock().empty(); }
    std::string writeBlock() const;
    // No measurement for kSilenceLimit while the line is open.
    bool linkSilent() const { return silent_; }
    // When another port was last applied (the epoch when none was): the
    // records made before it came from the board before.
    platform::RecordTime portChangedAt() const { return portChangedAt_; }

private:
    void fillPortMenu();
    void subscribe();
    void createPort();
    bool validPortIndex(int k) const { return k >= 0 && k < portCount(); }
    static bool validParameter(int p) { return p >= 0 && p < kParameterCount; }
    void clearSelectionFields();
    void say(const std::string& message);
    void updateWriteGate();
    void showPortProblem();
    void linkWentDown();
    // Greys the needles and empties the readouts: what they show is not current.
    void showNotCurrent();
    // The last measurement on the needles, and on the readouts while it is
    // current, in the present zero and unit.
    void showTilt();
    // A read-back of address p with value d resolves a write waiting for it.
    void settleWrite(int p, int16_t d);
    // Makes ports the port table and adds them to the (empty) port menu.
    void showPorts(const std::vector<PortEntry>& ports);

    ControllerEnvironment env_;

    // The port table, then the outlets as the window connects them. Entry k
    // of both is the name and the callout path of item k of the port menu.
    std::vector<std::string> bsdName;
    std::vector<std::string> bsdPath;
    FloatReadoutOutlet* Temperature;
    GaugeOutlet* Xgauge;
    FloatReadoutOutlet* XvalueItem;
    GaugeOutlet* Ygauge;
    FloatReadoutOutlet* YvalueItem;
    TableViewOutlet* parameterTable;
    TextFieldOutlet* selectedParameterDescription;
    TextFieldOutlet* selectedParameterNumber;
    TextFieldOutlet* valueToWrite;
    TextFieldOutlet* commStateItem;
    PopUpMenuOutlet* serialPortMenu;
    WindowOutlet* prefsWindow;
    AlertOutlet* alert_; // presents the confirmation of a write
    std::unique_ptr<commPort> thePort;
    std::array<int16_t, kParameterCount> parameters{};
    std::vector<std::string> descriptions;
    platform::Preferences* prefs = nullptr;

    TiltReference reference_;
    float measuredX_ = 0.0f, measuredY_ = 0.0f;
    bool measured_ = false;

    bool awake_ = false;

    // The link as the records and the clock show it (main thread only).
    TextFieldOutlet* statusLine_;
    TextFieldOutlet* portProblem_;
    WriteGateOutlet* writeGate_;
    RecordReader records_;           // both kinds, in delivery order
    bool linkDown_ = false;          // the latest measurement record said so
    bool silent_ = false;
    std::chrono::steady_clock::time_point lastMeasurementAt_{};
    std::chrono::steady_clock::time_point lastTick_{};
    uint64_t boardReads_ = 0;        // parameter records that came from the board
    uint64_t measurementsSeen_ = 0;  // the link's measurement count at the last tick
    std::array<ParameterState, kParameterCount> rowState_{};
    std::array<bool, kParameterCount> everRead_{};             // read from the current port's board
    std::array<int16_t, kParameterCount> written_{};           // the value a waiting write sent
    std::array<uint64_t, kParameterCount> readsBeforeWrite_{}; // the link's reads when it went
    std::array<std::chrono::steady_clock::duration, kParameterCount> waitedUp_{};
    OpenFailure shownProblem_;
    platform::RecordTime portChangedAt_{};
    std::optional<std::pair<bool, std::string>> gateShown_;
    platform::NotificationCenter* center_ = nullptr;
    std::vector<platform::NotificationCenter::Token> subscriptions_;
    std::jthread idleThread_; // last: stopped and joined before the rest goes
};

} // namespace plovex
