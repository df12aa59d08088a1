// Start-up, the port menu and the remembered port choice, and the idle thread.

#include "controller/plovexController.h"

#include "discovery/PortDiscovery.h"
#include "link/BoardFacts.h"
#include "link/Records.h"
#include "platform/Log.h"
#include "platform/Preferences.h"
#include "platform/Sleeper.h"

#include <cstring>
#include <stdexcept>

namespace plovex {

namespace {

static_assert(plovexController::kPortTableSize == kMaxPorts);
static_assert(plovexController::kPortStringSize == plovex::kPortStringSize);

// The idle thread sleeps this long at a time, and begins a fresh batch of
// temporaries once its counter has passed kIdleCounterLimit.
constexpr double kIdleSleepSeconds = 0.5;
constexpr int kIdleCounterLimit = 100;

template <typename T>
T* required(T* outlet, const char* name)
{
    if (!outlet)
        throw std::invalid_argument(std::string("plovexController: outlet ") + name + " is not connected");
    return outlet;
}

} // namespace

plovexController::plovexController(ControllerOutlets outlets, ControllerEnvironment env)
    : env_(std::move(env)),
      Temperature(required(outlets.Temperature, "Temperature")),
      Xgauge(required(outlets.Xgauge, "Xgauge")),
      XvalueItem(required(outlets.XvalueItem, "XvalueItem")),
      Ygauge(required(outlets.Ygauge, "Ygauge")),
      YvalueItem(required(outlets.YvalueItem, "YvalueItem")),
      parameterTable(required(outlets.parameterTable, "parameterTable")),
      selectedParameterDescription(required(outlets.selectedParameterDescription, "selectedParameterDescription")),
      selectedParameterNumber(required(outlets.selectedParameterNumber, "selectedParameterNumber")),
      valueToWrite(required(outlets.valueToWrite, "valueToWrite")),
      commStateItem(required(outlets.commStateItem, "commStateItem")),
      serialPortMenu(required(outlets.serialPortMenu, "serialPortMenu")),
      prefsWindow(required(outlets.prefsWindow, "prefsWindow")),
      alert_(required(outlets.alert, "alert")),
      statusLine_(outlets.statusLine),
      portProblem_(outlets.portProblem),
      writeGate_(outlets.writeGate)
{
    if (!env_.center)
        env_.center = &platform::NotificationCenter::defaultCenter();
    if (!env_.makePort)
        env_.makePort = [] { return std::make_unique<commPort>(); };
    if (!env_.idleSleeper)
        env_.idleSleeper = platform::realSleeper();
    if (!env_.clock)
        env_.clock = [] { return std::chrono::steady_clock::now(); };
}

plovexController::~plovexController()
{
    for (const auto token : subscriptions_)
        center_->removeObserver(token);
    idleThread_.request_stop();
    if (idleThread_.joinable())
        idleThread_.join();
}

void plovexController::awakeFromNib()
{
    if (awake_)
        return;
    awake_ = true;

    prefs = env_.prefs ? env_.prefs : &platform::FilePreferences::standardUserDefaults();
    reference_.load(*prefs);

    descriptions.clear();
    descriptions.reserve(kParameterCount);
    for (const std::string_view text : board::kParameterDescriptions)
        descriptions.emplace_back(text);

    fillPortMenu();
    subscribe();
    idleThread_ = std::jthread([this](std::stop_token stop) { idle(stop); });
}

void plovexController::fillPortTable(char (*names)[kPortStringSize], char (*paths)[kPortStringSize], int& count) const
{
    ModemIterator iterator = nullptr;
    FindModems(&iterator, env_.discoveryRoots); // its own messages report a failure; the list stays empty
    int k = 0;
    while (k < kPortTableSize && getNextModemName(iterator, names[k], paths[k], kPortStringSize) == 0)
        ++k;
    count = k;
    releaseModemIterator(iterator);
}

void plovexController::fillPortMenu()
{
    serialPortMenu->removeAllItems();
    fillPortTable(bsdName, bsdPath, portCount_);
    for (int k = 0; k < portCount_; ++k)
        serialPortMenu->insertItemWithTitle(std::string(bsdName[k]), k);
}

bool plovexController::refreshPortMenu()
{
    if (!awake_)
        return false;
    // Listed into a scratch table first, so that an unchanged list leaves the
    // menu (and whatever the user has open in it) alone.
    auto nameTable = std::make_unique<char[][kPortStringSize]>(kPortTableSize);
    auto pathTable = std::make_unique<char[][kPortStringSize]>(kPortTableSize);
    int count = 0;
    fillPortTable(nameTable.get(), pathTable.get(), count);
    bool same = count == portCount_;
    for (int k = 0; same && k < count; ++k)
        same = std::strcmp(nameTable[k], bsdName[k]) == 0 && std::strcmp(pathTable[k], bsdPath[k]) == 0;
    if (same)
        return false;

    const int selected = serialPortMenu->indexOfSelectedItem();
    const std::string keep = validPortIndex(selected) ? bsdName[selected] : std::string();
    std::memcpy(bsdName, nameTable.get(), sizeof bsdName);
    std::memcpy(bsdPath, pathTable.get(), sizeof bsdPath);
    portCount_ = count;
    serialPortMenu->removeAllItems();
    for (int k = 0; k < portCount_; ++k)
        serialPortMenu->insertItemWithTitle(std::string(bsdName[k]), k);
    if (!keep.empty() && serialPortMenu->hasItemWithTitle(keep))
        serialPortMenu->selectItemWithTitle(keep);
    return true;
}

void plovexController::subscribe()
{
    center_ = env_.center;
    subscriptions_.push_back(
        center_->addObserver(records::kInclinoData, [this](const platform::Notification& n) { dataFromRell(n); }));
    subscriptions_.push_back(center_->addObserver(records::kInclinoParameter,
                                                  [this](const platform::Notification& n) { parameterFromRell(n); }));
}

void plovexController::applicationDidFinishLaunching()
{
    std::optional<std::string> name;
    std::optional<std::string> path;
    if (prefs) {
        name = prefs->objectForKey(board::kPrefSerialPortName);
        path = prefs->objectForKey(board::kPrefSerialPortPath);
    }

    // Without a remembered path the user is asked for a port; start-up goes
    // on meanwhile with the link's default path.
    if (!path)
        prefsWindow->makeKeyAndOrderFront();

    createPort();
    if (thePort) {
        if (path)
            thePort->setCommPortPath(*path);
        if (name)
            thePort->setCommPortName(*name);
        thePort->setBaudRate(board::kLineSpeed);
        thePort->OpenPort(); // a port that does not open is retried by the acquisition loop
        // A remembered port that is not there is said plainly, and the user
        // is asked for another, as when none is remembered.
        if (path && thePort->openFailure().kind == OpenProblem::Missing) {
            say("The remembered port " + *path + " is not present; choose a port in the preferences.");
            prefsWindow->makeKeyAndOrderFront();
        }
        showPortProblem();
    }
    lastMeasurementAt_ = lastTick_ = env_.clock();
    updateWriteGate();

    if (name && serialPortMenu->hasItemWithTitle(*name))
        serialPortMenu->selectItemWithTitle(*name);
}

void plovexController::createPort()
{
    try {
        thePort = env_.makePort();
        if (!thePort)
            platform::logEntry("The serial port link could not be created; the monitor runs without it.");
    } catch (const std::exception& e) {
        thePort.reset();
        platform::logEntry(std::string("The serial port link could not be created (") + e.what() +
                           "); the monitor runs without it.");
    }
}

void plovexController::applyPrefsAction()
{
    if (!thePort || !prefs)
        return;

    int k = serialPortMenu->indexOfSelectedItem();
    if (!validPortIndex(k))
        return; // no port chosen: nothing to apply
    thePort->setCommPortName(bsdName[k]);
    prefs->setObject(thePort->commPortName(), board::kPrefSerialPortName);

    k = serialPortMenu->indexOfSelectedItem();
    if (!validPortIndex(k))
        return;
    thePort->setCommPortPath(bsdPath[k]);
    prefs->setObject(thePort->commPortPath(), board::kPrefSerialPortPath);

    // Closing is enough: the acquisition loop opens the new path in its next cycle.
    thePort->reset();
    portChangedAt_ = platform::RecordClock::now();
    prefs->synchronize(); // a failure is reported by the store itself
}

void plovexController::idle(std::stop_token stop)
{
    // Every 102nd sleep counts as the start of a fresh batch of this thread's
    // temporaries. They already die with each wake-up, so nothing is freed
    // here; the count only keeps that cadence visible.
    try {
        int counter = 0;
        idleCounter_.store(counter);
        while (!stop.stop_requested() && env_.idleSleeper->sleepFor(kIdleSleepSeconds, stop)) {
            if (counter <= kIdleCounterLimit) {
                ++counter;
            } else {
                idlePoolReplacements_.fetch_add(1);
                counter = 0;
            }
            idleCounter_.store(counter);
        }
    } catch (const std::exception& e) {
        platform::logEntry(std::string("idle thread ended: ") + e.what());
    } catch (...) {
        platform::logEntry("idle thread ended: unknown error");
    }
}

const char* plovexController::bsdNameEntry(int k) const
{
    return k >= 0 && k < kPortTableSize ? bsdName[k] : "";
}

const char* plovexController::bsdPathEntry(int k) const
{
    return k >= 0 && k < kPortTableSize ? bsdPath[k] : "";
}

} // namespace plovex
