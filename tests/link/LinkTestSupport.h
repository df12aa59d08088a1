#pragma once
// Pieces the link suites share: a main loop with its notification queue and
// centre that collects delivered records, a sleeper that records and
// compresses the loops' pauses, and a small scripted board on a pty.

#include "link/commPort.h"
#include "platform/IdleHandOver.h"
#include "platform/MainThread.h"
#include "platform/NotificationCenter.h"
#include "platform/NotificationQueue.h"
#include "platform/Sleeper.h"
#include "tests/support/PtyPeer.h"

#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

namespace plovex {

// Test access to the port lock and the close that reset does under it.
struct commPortTestAccess {
    static std::mutex& lock(commPort& p) { return p.serialPortLock; }
    static void closeLocked(commPort& p) { p.closeLocked(); }
};

} // namespace plovex

namespace linktest {

struct Delivered {
    std::string name;
    platform::RecordPtr record;
};

// The main-thread side of the record path, as the application has it.
class MainSide {
public:
    MainSide();
    platform::RunLoop loop;
    platform::NotificationCenter center;
    platform::NotificationQueue queue{center};
    platform::IdleHandOver handOver{&loop, queue};
    std::vector<Delivered> delivered; // in delivery order (main thread only)

    plovex::commPortOptions options(plovex::LoopKind kind, std::shared_ptr<platform::Sleeper> sleeper,
                                    int lineTimeoutDeciseconds = 2);
    // Runs the main loop until n records were delivered or the time is up.
    bool runUntilDelivered(std::size_t n, std::chrono::milliseconds timeout = std::chrono::seconds(10));
    std::vector<platform::RecordPtr> recordsNamed(const std::string& name) const;
};

// Records every pause asked for and waits it scaled by factor.
class RecordingSleeper : public platform::Sleeper {
public:
    explicit RecordingSleeper(double factor) : factor_(factor) {}
    bool sleepFor(double seconds, std::stop_token stop) override;
    std::vector<double> pauses() const;
    // Called at every pause before it is waited (on the sleeping thread).
    std::function<void(double)> onPause;

    // The loop's start pause then lasts until releaseStart(), so that a test
    // can open the port first, as the application does within that pause.
    void holdStart() { held_ = true; }
    void releaseStart();

private:
    double factor_;
    mutable std::mutex mutex_;
    std::condition_variable_any released_;
    bool held_ = false;
    bool firstDone_ = false;
    std::vector<double> pauses_;
};

// A board that answers polls and EEPROM reads on a pty, as scripted.
class ScriptedBoard {
public:
    ScriptedBoard();
    ~ScriptedBoard();
    const std::string& path() const { return peer_.slavePath(); }
    testsupport::PtyPeer& peer() { return peer_; }

    std::atomic<bool> silent{false};
    std::atomic<int> ignoreReadsAt{-1};     // reads of this address go unanswered...
    std::atomic<int> ignoreReadsCount{0};   // ...this many times
    std::atomic<int> pollsAnswered{0};
    std::atomic<int> readsAnswered{0};
    // EEPROM value the board reports for an address.
    static int16_t valueAt(int address) { return static_cast<int16_t>(100 * address - 7); }
    // The nine values of the n-th frame the board sends.
    static std::array<int16_t, 9> frameValues(int n);
    // Every byte the board received, in order.
    std::vector<uint8_t> received() const;

private:
    void run(std::stop_token stop);
    testsupport::PtyPeer peer_;
    mutable std::mutex mutex_;
    std::vector<uint8_t> received_;
    std::jthread thread_;
};

} // namespace linktest
