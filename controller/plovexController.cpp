// Start-up, the port menu and the remembered port choice, and the idle thread.

#include "controller/plovexController.h"

#include "discovery/PortDiscovery.h"
#include "link/BoardFacts.h"
#include "link/Records.h"
#include "platform/Log.h"
#include "platform/Preferences.h"
#include "platform/Sleeper.h"

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
      alert_(required(outlets.alert, "alert"))
{
    if (!env_.center)
        env_.center = &platform::NotificationCenter::defaultCenter();
    if (!env_.makePort)
        env_.makePort = [] { return std::make_unique<commPort>(); };
    if (!env_.idleSleeper)
        env_.idleSleeper = platform::realSleeper();
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

void plovexController::fillPortMenu()
{
    serialPortMenu->removeAllItems();

    ModemIterator iterator = nullptr;
    FindModems(&iterator, env_.discoveryRoots); // its own messages report a failure; the menu stays empty
    int k = 0;
    while (k < kPortTableSize && getNextModemName(iterator, bsdName[k], bsdPath[k], kPortStringSize) == 0) {
        serialPortMenu->insertItemWithTitle(std::string(bsdName[k]), k);
        ++k;
    }
    portCount_ = k;
    releaseModemIterator(iterator);
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
    }

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
