// Start-up, the port menu and the remembered port choice, and the idle thread.

#include "controller/plovexController.h"

#include "discovery/PortDiscovery.h"
#include "link/BoardFacts.h"
#include "link/Records.h"
#include "platform/Console.h"
#include "platform/Log.h"
#include "platform/Preferences.h"
#include "platform/Sleeper.h"

#include <stdexcept>

namespace plovex {

namespace {

constexpr double kIdleSleepSeconds = 0.5;
constexpr int kIdleCounterLimit = 100; // the count starts over after 102 sleeps

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

void plovexController::showPorts(const std::vector<PortEntry>& ports)
{
    bsdName.clear();
    bsdPath.clear();
    for (const PortEntry& port : ports) {
        serialPortMenu->insertItemWithTitle(port.name, static_cast<int>(bsdName.size()));
        bsdName.push_back(port.name);
        bsdPath.push_back(port.path);
    }
}

void plovexController::fillPortMenu()
{
    serialPortMenu->removeAllItems();
    // FindModems' own messages report a failure; the list stays empty then.
    showPorts(listPorts(env_.discoveryRoots));
}

bool plovexController::refreshPortMenu()
{
    if (!awake_)
        return false;
    // An unchanged list leaves the menu (and whatever the user has open in it)
    // alone. Quietly: the discovery's console lines were printed once at
    // start-up, and this runs every half second while the preferences are open.
    std::vector<PortEntry> ports;
    {
        platform::ConsoleRedirect quiet(platform::quietConsoleLines());
        ports = listPorts(env_.discoveryRoots);
    }
    bool same = ports.size() == bsdName.size();
    for (std::size_t k = 0; same && k < ports.size(); ++k)
        same = ports[k].name == bsdName[k] && ports[k].path == bsdPath[k];
    if (same)
        return false;

    const int selected = serialPortMenu->indexOfSelectedItem();
    const std::string keep = validPortIndex(selected) ? bsdName[selected] : std::string();
    serialPortMenu->removeAllItems();
    showPorts(ports);
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
    // What the table and the status line said was of the port before.
    everRead_.fill(false);
    parameterTable->reloadData();
    if (statusLine_)
        statusLine_->setStringValue("");
    prefs->synchronize(); // a failure is reported by the store itself
}

void plovexController::idle(std::stop_token stop)
{
    // This thread has no effect one can observe on Linux. Where a thread's
    // temporaries live in a pool, this is where its pool would be replaced
    // every 102 sleeps; here they die with each wake-up, so only the cadence
    // is kept: 0.5 s sleeps counted 0 to 101, then the count starts over.
    try {
        int counter = 0;
        while (env_.idleSleeper->sleepFor(kIdleSleepSeconds, stop))
            counter = counter <= kIdleCounterLimit ? counter + 1 : 0;
    } catch (...) {
        platform::logEntry("the idle thread ended on an error");
    }
}

const char* plovexController::bsdNameEntry(int k) const
{
    return validPortIndex(k) ? bsdName[k].c_str() : "";
}

const char* plovexController::bsdPathEntry(int k) const
{
    return validPortIndex(k) ? bsdPath[k].c_str() : "";
}

} // namespace plovex
