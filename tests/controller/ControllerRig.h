#pragma once
// plovexController among stand-ins for the window's controls, on a made-up
// machine, with preferences in memory and a real commPort.

#include "controller/plovexController.h"
#include "tests/support/FakeSysfs.h"
#include "tests/support/LinkRig.h"
#include "tests/support/MemoryPrefs.h"

#include <algorithm>
#include <cstdlib>

namespace controllertest {

using namespace plovex;
using namespace testsupport;

struct Field : TextFieldOutlet {
    void setStringValue(const std::string& v) override { text = v; }
    void setIntValue(int v) override { text = std::to_string(v); }
    int intValue() const override { return static_cast<int>(std::strtol(text.c_str(), nullptr, 10)); }
    void setTextColor(Color c) override { color = c; }
    std::string text;
    std::optional<Color> color;
};
struct Readout : FloatReadoutOutlet {
    void setFloatValue(float v) override { value = v, noValue = false; }
    void setNoValue() override { noValue = true; }
    float value = -1000.0f;
    bool noValue = false;
};
struct Gauge : GaugeOutlet {
    explicit Gauge(Rect b) : box(b) {}
    void setAngle(float degrees) override { at = degrees; }
    float angle() const { return at; }
    Rect bounds() const override { return box; }
    void setNeedsDisplayInRect(Rect r) override { marked.push_back(r); }
    void setStale(bool s) override { stale = s; }
    Rect box;
    float at = 0.0f;
    bool stale = false;
    std::vector<Rect> marked;
};
struct Table : TableViewOutlet {
    void reloadData() override { ++reloads; }
    int selectedRow() const override { return selected; }
    int reloads = 0, selected = -1;
};
struct Menu : PopUpMenuOutlet {
    void removeAllItems() override { items.clear(), selected = -1; }
    void insertItemWithTitle(const std::string& t, int i) override { items.insert(items.begin() + i, t); }
    int indexOfSelectedItem() const override { return selected; }
    bool hasItemWithTitle(const std::string& t) const override { return index(t) >= 0; }
    void selectItemWithTitle(const std::string& t) override { selected = index(t); }
    int index(const std::string& t) const
    {
        const auto it = std::find(items.begin(), items.end(), t);
        return it == items.end() ? -1 : static_cast<int>(it - items.begin());
    }
    std::vector<std::string> items;
    int selected = -1;
};
struct Window : WindowOutlet {
    void makeKeyAndOrderFront() override { ++shown; }
    int shown = 0;
};
struct Alert : AlertOutlet {
    int runModal(const AlertText& a) override { return shown.push_back(a), answer; }
    int answer = 0;
    std::vector<AlertText> shown;
};

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
        controller = std::make_unique<plovexController>(
            ControllerOutlets{&Temperature, &Xgauge, &XvalueItem, &Ygauge, &YvalueItem, &parameterTable,
                              &selectedParameterDescription, &selectedParameterNumber, &valueToWrite, &commStateItem,
                              &serialPortMenu, &prefsWindow, &alert},
            std::move(env));
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
    Field selectedParameterDescription, selectedParameterNumber, valueToWrite, commStateItem;
    Menu serialPortMenu;
    Window prefsWindow;
    Alert alert;
    std::unique_ptr<plovexController> controller;
};

} // namespace controllertest
