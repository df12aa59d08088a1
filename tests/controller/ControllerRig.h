#pragma once
// Everything a controller test needs around plovexController: recording
// outlets, a preferences file in a temporary folder, a fake sysfs tree for
// port discovery, pseudo-terminals to stand in for serial devices, a port
// factory that keeps hold of the port it made, and a gated idle clock.

#include "controller/plovexController.h"
#include "platform/MainThread.h"
#include "platform/NotificationCenter.h"
#include "platform/IdleHandOver.h"
#include "platform/NotificationQueue.h"
#include "platform/Preferences.h"
#include "platform/Sleeper.h"
#include "tests/controller/FakeOutlets.h"
#include "tests/support/TestSupport.h"

#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace controllertest {

// A pseudo-terminal: the port opens the slave, the test reads the master.
class Pty {
public:
    Pty();
    ~Pty();
    Pty(const Pty&) = delete;
    Pty& operator=(const Pty&) = delete;
    const std::string& slavePath() const { return slave_; }
    // Reads what the port sent until marker arrives (or 5 s pass, a hang
    // guard) and returns the bytes before the marker.
    std::vector<uint8_t> readUntil(const std::vector<uint8_t>& marker);

private:
    int master_ = -1;
    std::string slave_;
    std::vector<uint8_t> pending_;
};

// The idle thread's clock: each sleep waits for a permit that the test hands out.
class GatedSleeper : public platform::Sleeper {
public:
    bool sleepFor(double seconds, std::stop_token stop) override;
    void allow(int sleeps);
    int entered() const;
    std::vector<double> durations() const;

private:
    mutable std::mutex mutex_;
    std::condition_variable_any cv_;
    int permits_ = 0;
    int entered_ = 0;
    std::vector<double> durations_;
};

// Preferences that log each store and write-out, with the port's state at
// that moment, into the journal before passing them on to the file.
class RecordingPreferences : public platform::Preferences {
public:
    RecordingPreferences(platform::FilePreferences& inner, Journal& journal, std::function<std::string()> portState)
        : inner_(inner), journal_(journal), portState_(std::move(portState)) {}
    std::optional<std::string> objectForKey(const std::string& key) const override { return inner_.objectForKey(key); }
    void setObject(const std::string& value, const std::string& key) override;
    bool synchronize() override;

private:
    platform::FilePreferences& inner_;
    Journal& journal_;
    std::function<std::string()> portState_;
};

enum class PortMode {
    Quiet,       // a real commPort without an acquisition thread
    Acquisition, // a real commPort running its loop on a compressed clock
    Missing,     // the factory returns null
    Throwing,    // the factory throws
};

struct ControllerRig {
    ControllerRig();
    ~ControllerRig();

    // A serial port in the fake sysfs tree; devname empty: no callout path.
    void addPort(const std::string& name, const std::optional<std::string>& devname);
    // The callout path discovery gives for a node name.
    std::string devPath(const std::string& node) const { return (dev / node).string(); }
    // Makes <dev>/node lead to the pty, so opening that path opens the pty.
    void linkNode(const std::string& node, const Pty& pty);
    // Seeds the preferences file before start().
    void remember(const std::map<std::string, std::string>& values);
    // The preferences file as stored (nullopt when absent or unreadable).
    std::optional<std::map<std::string, std::string>> storedPreferences() const;

    // Creates the controller, then awakeFromNib and applicationDidFinishLaunching.
    plovexController& start();
    plovexController& ctl() { return *controller; }
    void post(const std::string& name, platform::RecordPtr record) { center.post({name, std::move(record)}); }

    testsupport::TempDir dir;
    std::filesystem::path sysfs, dev, simulators, prefsFile;
    PortMode portMode = PortMode::Quiet;

    Journal journal;
    FakeReadout Temperature{journal, "Temperature"};
    FakeGauge Xgauge{journal, "Xgauge", Rect{0.0f, 0.0f, 240.0f, 240.0f}};
    FakeReadout XvalueItem{journal, "XvalueItem"};
    FakeGauge Ygauge{journal, "Ygauge", Rect{0.0f, 0.0f, 200.0f, 160.0f}};
    FakeReadout YvalueItem{journal, "YvalueItem"};
    FakeTable parameterTable{journal};
    FakeTextField selectedParameterDescription{journal, "selectedParameterDescription"};
    FakeTextField selectedParameterNumber{journal, "selectedParameterNumber"};
    FakeTextField valueToWrite{journal, "valueToWrite"};
    FakeTextField commStateItem{journal, "commStateItem"};
    FakeMenu serialPortMenu{journal};
    FakeWindow prefsWindow{journal};
    FakeAlert alert{journal};

    platform::NotificationCenter center;
    platform::RunLoop mainLoop; // never run: the acquisition loop's records just wait there
    platform::NotificationQueue queue{center};
    platform::IdleHandOver handOver{&mainLoop, queue};
    std::shared_ptr<GatedSleeper> idleSleeper = std::make_shared<GatedSleeper>();
    std::unique_ptr<platform::FilePreferences> filePrefs;
    std::unique_ptr<RecordingPreferences> prefs;
    commPort* madePort = nullptr;
    std::unique_ptr<plovexController> controller;
};

// Port state for journal entries: "name=... path=... open=0|1".
std::string describePort(const commPort* port);

} // namespace controllertest
