#pragma once
// The link as the tests run it: the main-thread side of the record path (a
// main loop, its notification queue and centre, and the records delivered),
// the one place where tests make commPortOptions and records, and simulated
// boards at links of their own.

#include "link/commPort.h"
#include "platform/IdleHandOver.h"
#include "platform/MainThread.h"
#include "platform/NotificationCenter.h"
#include "platform/NotificationQueue.h"
#include "sim/SimulatedBoard.h"
#include "tests/support/TestClock.h"
#include "tests/support/TestSupport.h"

#include <array>

namespace plovex {
// Lets tests hold the port lock, as an exchange of another thread would, and
// the lock on the reason of the last failed open.
struct commPortTestAccess {
    static std::mutex& lock(commPort& p) { return p.serialPortLock; }
    static std::mutex& failureLock(commPort& p) { return p.failureMutex_; }
    static void closeLocked(commPort& p) { p.closeLocked(); }
};
} // namespace plovex

namespace testsupport {

using namespace std::chrono_literals;

struct Delivered {
    std::string name;
    platform::RecordPtr record;
    int operator[](const char* key) const { return record->intValue(key); }
    bool data() const { return name == "inclinoData"; }
    bool parameter() const { return name == "inclinoParameter"; }
    bool measurement() const { return data() && record->intValue("commState") != 0; } // a frame received
    bool linkDown() const { return data() && record->intValue("commState") == 0; }
};

class MainSide {
public:
    MainSide();
    platform::RunLoop loop;
    platform::NotificationCenter center;
    platform::NotificationQueue queue{center};
    platform::IdleHandOver handOver{&loop, queue};
    std::vector<Delivered> delivered; // in delivery order

    // The options of every commPort a test makes: records come to this side.
    plovex::commPortOptions options(plovex::LoopKind kind, std::shared_ptr<platform::Sleeper> clock = {},
                                    int lineTimeoutDeciseconds = 2);
    // A commPort on path at 38400 baud, not yet opened.
    std::unique_ptr<plovex::commPort> port(plovex::LoopKind kind, const std::string& path,
                                           std::shared_ptr<platform::Sleeper> clock = {}, int lineTimeoutDeciseconds = 2);
    // A loop on path whose line is opened in the start pause, as the
    // application opens it at launch; with held, the clock holds it there.
    std::unique_ptr<plovex::commPort> openLoop(plovex::LoopKind kind, const std::string& path,
                                               std::shared_ptr<TestClock> clock = std::make_shared<TestClock>(),
                                               int lineTimeoutDeciseconds = 1, bool held = false);
    // Runs the main loop until a record after position from satisfies pred; false after timeout.
    bool runUntilNext(std::size_t from, bool (Delivered::*pred)() const, std::chrono::milliseconds timeout = 30s);
    std::vector<Delivered> named(const std::string& name) const;
};

// Records as the link makes them, for handing to the controller.
platform::RecordPtr measurement(int xKal, int yKal, int temp, int commState = 1);
platform::RecordPtr parameter(int paddress, int pdata);

// A simulated board at a link in a folder of its own (not listed for discovery).
class Board {
public:
    explicit Board(plovex::sim::BoardOptions options = {});
    plovex::sim::SimulatedBoard* operator->() { return &board_; }
    std::string path() const { return board_.linkPath(); }
    // The frames of kind once count of them arrived (or what arrived within 30 s).
    std::vector<plovex::sim::ReceivedFrame> frames(plovex::sim::FrameKind kind, std::size_t count);

private:
    TempDir dir_;
    plovex::sim::SimulatedBoard board_;
};

// The nine values of the n-th frame (from 0) a board with this seed sends, and of a delivered record.
using Values = std::array<int, 9>;
Values boardFrame(std::uint64_t seed, std::size_t n);
Values valuesOf(const Delivered& d);

} // namespace testsupport
