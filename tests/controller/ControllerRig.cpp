#include "tests/controller/ControllerRig.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <stdexcept>
#include <thread>
#include <unistd.h>

namespace controllertest {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

Pty::Pty()
{
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0)
        throw std::runtime_error("cannot open a pseudo-terminal");
    const char* name = ::ptsname(master_);
    if (!name)
        throw std::runtime_error("pseudo-terminal has no slave name");
    slave_ = name;
}

Pty::~Pty()
{
    if (master_ >= 0)
        ::close(master_);
}

std::vector<uint8_t> Pty::readUntil(const std::vector<uint8_t>& marker)
{
    const auto deadline = std::chrono::steady_clock::now() + 5s;
    for (;;) {
        const auto at = std::search(pending_.begin(), pending_.end(), marker.begin(), marker.end());
        if (at != pending_.end()) {
            std::vector<uint8_t> before(pending_.begin(), at);
            pending_.erase(pending_.begin(), at + static_cast<std::ptrdiff_t>(marker.size()));
            return before;
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left <= 0ms) {
            ADD_FAILURE() << "the marker never arrived on " << slave_;
            return pending_;
        }
        pollfd p{master_, POLLIN, 0};
        const int n = ::poll(&p, 1, static_cast<int>(std::min<long long>(left.count(), 50)));
        if (n > 0 && (p.revents & POLLIN)) {
            uint8_t buf[256];
            const ssize_t got = ::read(master_, buf, sizeof buf);
            if (got > 0) {
                pending_.insert(pending_.end(), buf, buf + got);
                continue;
            }
        }
        // Nobody has the slave open yet (or any more): wait for the port to come.
        if (n != 0)
            std::this_thread::sleep_for(1ms);
    }
}

bool GatedSleeper::sleepFor(double seconds, std::stop_token stop)
{
    std::unique_lock lock(mutex_);
    ++entered_;
    durations_.push_back(seconds);
    if (!cv_.wait(lock, stop, [this] { return permits_ > 0; }))
        return false;
    --permits_;
    return true;
}

void GatedSleeper::allow(int sleeps)
{
    {
        std::lock_guard lock(mutex_);
        permits_ += sleeps;
    }
    cv_.notify_all();
}

int GatedSleeper::entered() const
{
    std::lock_guard lock(mutex_);
    return entered_;
}

std::vector<double> GatedSleeper::durations() const
{
    std::lock_guard lock(mutex_);
    return durations_;
}

void RecordingPreferences::setObject(const std::string& value, const std::string& key)
{
    journal_.add("prefs.setObject(" + key + "=" + value + ") [" + portState_() + "]");
    inner_.setObject(value, key);
}

bool RecordingPreferences::synchronize()
{
    journal_.add("prefs.synchronize [" + portState_() + "]");
    return inner_.synchronize();
}

std::string describePort(const commPort* port)
{
    if (!port)
        return "no port";
    return "name=" + port->commPortName() + " path=" + port->commPortPath() +
           " open=" + std::to_string(port->portOpenOK());
}

ControllerRig::ControllerRig()
    : sysfs(dir / "sys"), dev(dir / "dev"), simulators(dir / "simulators"), prefsFile(dir / "config" / "plovex.conf")
{
    fs::create_directories(sysfs / "class" / "tty");
    fs::create_directories(dev);
}

ControllerRig::~ControllerRig()
{
    controller.reset(); // before the loop, queue and centre it was given
}

void ControllerRig::addPort(const std::string& name, const std::optional<std::string>& devname)
{
    const fs::path entry = sysfs / "class" / "tty" / name;
    fs::create_directories(entry / "device");
    std::string uevent = "MAJOR=4\nMINOR=64\n";
    if (devname)
        uevent += "DEVNAME=" + *devname + "\n";
    testsupport::writeFile(entry / "uevent", uevent);
}

void ControllerRig::linkNode(const std::string& node, const Pty& pty)
{
    fs::create_symlink(pty.slavePath(), dev / node);
}

void ControllerRig::remember(const std::map<std::string, std::string>& values)
{
    fs::create_directories(prefsFile.parent_path());
    testsupport::writeFile(prefsFile, platform::formatPreferences(values));
}

std::optional<std::map<std::string, std::string>> ControllerRig::storedPreferences() const
{
    if (!fs::exists(prefsFile))
        return std::nullopt;
    return platform::parsePreferences(testsupport::readFile(prefsFile), nullptr);
}

plovexController& ControllerRig::start()
{
    filePrefs = std::make_unique<platform::FilePreferences>(prefsFile);
    prefs = std::make_unique<RecordingPreferences>(*filePrefs, journal, [this] { return describePort(madePort); });

    ControllerOutlets outlets;
    outlets.Temperature = &Temperature;
    outlets.Xgauge = &Xgauge;
    outlets.XvalueItem = &XvalueItem;
    outlets.Ygauge = &Ygauge;
    outlets.YvalueItem = &YvalueItem;
    outlets.parameterTable = &parameterTable;
    outlets.selectedParameterDescription = &selectedParameterDescription;
    outlets.selectedParameterNumber = &selectedParameterNumber;
    outlets.valueToWrite = &valueToWrite;
    outlets.commStateItem = &commStateItem;
    outlets.serialPortMenu = &serialPortMenu;
    outlets.prefsWindow = &prefsWindow;
    outlets.alert = &alert;

    ControllerEnvironment env;
    env.prefs = prefs.get();
    env.center = &center;
    env.discoveryRoots = DiscoveryRoots{sysfs, dev, simulators};
    env.idleSleeper = idleSleeper;
    env.makePort = [this]() -> std::unique_ptr<commPort> {
        journal.add("makePort");
        commPortOptions options;
        options.sink = &handOver;
        switch (portMode) {
        case PortMode::Missing:
            return nullptr;
        case PortMode::Throwing:
            throw std::runtime_error("no threads left");
        case PortMode::Quiet:
            options.loop = LoopKind::None;
            break;
        case PortMode::Acquisition:
            options.loop = LoopKind::Acquisition;
            options.sleeper = std::make_shared<platform::ScaledSleeper>(0.001);
            options.lineTimeoutDeciseconds = 1;
            break;
        }
        auto port = std::make_unique<commPort>(options);
        madePort = port.get();
        return port;
    };

    controller = std::make_unique<plovexController>(outlets, std::move(env));
    controller->awakeFromNib();
    controller->applicationDidFinishLaunching();
    return *controller;
}

} // namespace controllertest
