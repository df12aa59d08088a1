#pragma once
// plovexController among stand-ins for the window's controls, on a made-up
// machine, with preferences in memory and a real commPort.

#include "controller/plovexController.h"
#include "tests/support/FakeSysfs.h"
#include "tests/support/LinkRig.h"
#include "tests/support/MemoryPrefs.h"
#include "tests/support/OutletFakes.h"

namespace controllertest {

using namespace plovex;
using namespace testsupport;
using namespace testsupport::fake;

// A commPort without a loop; one whose acquisition loop runs (its long pauses
// compressed); none; the factory throws.
enum class PortMode { Quiet, Polling, Missing, Throwing };

struct ControllerRig {
    ~ControllerRig() { controller.reset(); } // before the main side it posts to

    plovexController& start()
    {
        ControllerEnvironment env;
        env.prefs = &prefs;
        env.center = &main.center;
        env.discoveryRoots = machine.roots();
        env.clock = [this] { return now; };
        env.idleSleeper = std::make_shared<TestClock>();
        static_cast<TestClock&>(*env.idleSleeper).hold(); // the idle thread's sleeps change nothing one can see
        env.makePort = [this]() -> std::unique_ptr<commPort> {
            if (portMode == PortMode::Throwing)
                throw std::runtime_error("no threads left");
            if (portMode == PortMode::Missing)
                return nullptr;
            if (portMode == PortMode::Polling)
                return std::make_unique<commPort>(main.options(LoopKind::Acquisition, std::make_shared<TestClock>()));
            return std::make_unique<commPort>(main.options(LoopKind::None));
        };
        ControllerOutlets outlets{&Temperature, &Xgauge, &XvalueItem, &Ygauge, &YvalueItem, &parameterTable,
                                  &selectedParameterDescription, &selectedParameterNumber, &valueToWrite, &commStateItem,
                                  &serialPortMenu, &prefsWindow, &alert};
        outlets.statusLine = &statusLine;
        controller = std::make_unique<plovexController>(outlets, std::move(env));
        controller->awakeFromNib();
        controller->applicationDidFinishLaunching();
        return *controller;
    }
    plovexController& ctl() { return *controller; }
    commPort& port() { return *controller->port(); }
    std::string node(const std::string& name) const { return (machine.dev() / name).string(); }
    void post(const char* name, platform::RecordPtr r) { main.center.post({name, std::move(r)}); }

    FakeSysfs machine;
    MemoryPrefs prefs;
    MainSide main;
    PortMode portMode = PortMode::Quiet;
    std::chrono::steady_clock::time_point now{}; // the controller's clock
    Readout Temperature, XvalueItem, YvalueItem;
    Gauge Xgauge{{0, 0, 240, 240}}, Ygauge{{0, 0, 200, 160}};
    Table parameterTable;
    Field selectedParameterDescription, selectedParameterNumber, valueToWrite, commStateItem, statusLine;
    Menu serialPortMenu;
    Window prefsWindow;
    Alert alert;
    std::unique_ptr<plovexController> controller;
};

} // namespace controllertest
