#pragma once
// commPort: the link to the inclinometer board. It owns the serial line and
// the port lock, runs the acquisition thread, carries every command to the
// board, and hands the records it makes to its record sink (in the
// application: the main thread's notification queue).
//
// Threads: the main thread creates the object, sets path, name and speed,
// opens the line once at launch, resets it and sends EEPROM writes; the
// acquisition thread (started by the constructor) polls the board and
// reopens the line whenever it is closed. Every exchange on the line holds
// serialPortLock and re-tests PortOpenOK once it holds it.

#include "link/LinkHealth.h"
#include "link/OpenFailure.h"
#include "link/SerialLine.h"
#include "platform/Record.h"
#include "platform/UniqueFd.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <stop_token>
#include <string>
#include <thread>

namespace platform {
class RecordSink;
class Sleeper;
} // namespace platform

namespace plovex {

// Which loop the constructor starts on the acquisition thread.
enum class LoopKind {
    Acquisition, // idleThread: what the application always runs
    Diagnostic,  // idleThreadTest: listens and answers diagnostic requests
    None,        // no thread (tests of single exchanges, one-shot commands)
};

// How a verified EEPROM read ended (commPort::readEEPROMVerified).
enum class VerifiedRead {
    Agreed,     // two replies, each alone on the line, gave the same value
    NoAnswer,   // not one reply byte came
    Untrusted,  // replies came, but no two that stood alone agreed
    LineClosed, // the line is closed, or closed on the way
};

struct commPortOptions {
    LoopKind loop = LoopKind::Acquisition;
    // Where the loops hand their records over ("inclinoData",
    // "inclinoParameter"). Default: platform::defaultRecordSink(), the
    // process's main thread and notification queue.
    platform::RecordSink* sink = nullptr;
    // Every pause of the loops and the upload goes through this. Default: real time.
    std::shared_ptr<platform::Sleeper> sleeper;
    // The line's read timeout in tenths of a second (VTIME).
    int lineTimeoutDeciseconds = 10;
};

class commPort {
public:
    // init: path "/dev/cu.KeySerial1", 9600 baud, empty name, line closed;
    // then the acquisition thread starts.
    commPort();
    explicit commPort(commPortOptions options);
    // Ends the loop (a stop request, then join) and closes the line. The
    // application never destroys its commPort; tests and tools do.
    ~commPort();
    commPort(const commPort&) = delete;
    commPort& operator=(const commPort&) = delete;

    // Opens commPortPath as a SerialLine: raw, for this program alone (the
    // advisory lock and exclusive use), at baudRate, with low latency asked
    // for. Returns the descriptor, or -1 with errno and openFailure() saying
    // why (and one console line when a set-up step after the open failed; a
    // device that is missing, not permitted or in use prints none). The line
    // is published under the port lock: an open that finds the line already
    // open does nothing and returns its descriptor; an open during which the
    // path or the speed was changed closes what it opened, publishes nothing
    // and returns -1, so the line in use is always the one last set.
    int OpenPort();
    // Closes the line under the port lock.
    void reset();

    std::string commPortPath() const;
    void setCommPortPath(std::string path);
    std::string commPortName() const;
    void setCommPortName(std::string name);
    int32_t baudRate() const { return baudRate_.load(); }
    void setBaudRate(int32_t rate);

    // 1 while the line is open.
    int8_t portOpenOK() const { return PortOpenOK.load(std::memory_order_acquire); }
    // The open line's descriptor; meaningful only while portOpenOK() is 1.
    int portDescriptor() const { return portDescriptor_.load(std::memory_order_acquire); }

    // What the link has counted since it was made; any thread, no lock taken.
    LinkHealth health() const { return counters_.snapshot(portOpenOK() != 0); }
    // Why the last open of the line failed; kind None once it opened.
    OpenFailure openFailure() const;

    // Reads one EEPROM parameter. 1 and *data set when the value arrived;
    // 0 with *data unchanged otherwise (line closed, write error, read error,
    // reply incomplete at the timeout, data null). Each read that delivered
    // counts in health().eepromReads before the port lock is released, so a
    // write made after this call returned sees it counted.
    int readEEPROM(int address, int16_t* data);
    // Reads one EEPROM parameter so that no stray or lost byte can shift it:
    // a reply counts only when nothing more followed it on the line, and the
    // value (into data) only when two such replies agree (VerifiedRead.cpp).
    // For whole sets and read-backs; not counted in health().eepromReads.
    VerifiedRead readEEPROMVerified(int address, int16_t& data);
    // Sends one EEPROM write frame; nothing when the line is closed.
    void writeEEPROM(int address, int16_t data);
    // Forgets what the line delivered that no exchange took: the receive
    // buffer and the driver's input queue. readEEPROM does not do this
    // itself; a caller that asks again after a reply came short does, so
    // that the short reply's bytes are not read as the start of the next one.
    void discardInput();
    // Sends the reboot frame; nothing when the line is closed.
    void sendReboot();
    // Uploads a firmware image in 64-byte blocks, 0.25 s apart, holding the
    // port lock throughout; one console line per block. Returns false, with
    // *error naming the file and the reason, when nothing or not all of it
    // could be sent (the file cannot be used, the line is closed, a block
    // did not go out, the device went away). progress, when given, is called
    // after each block with the bytes sent so far and the image size.
    bool sendProgram(const std::string& path,
                     const std::function<void(std::size_t sent, std::size_t total)>& progress = {},
                     std::string* error = nullptr);

    // Ends the acquisition loop's first pause (1.0 s from the start) now,
    // for a caller that has set the path and opened the line and wants the
    // first record at once (plovex-cli monitor). Without it the loop waits
    // the whole second, as the window's does; its later pauses are the same
    // either way.
    void endFirstPause() { firstPauseEnd_.request_stop(); }

    // The loop bodies; the constructor runs one of them on the acquisition thread.
    void idleThread(std::stop_token stop);
    void idleThreadTest(std::stop_token stop);

private:
    friend struct commPortTestAccess; // lets tests hold the port lock

    // Hands a record to the sink, never waiting for its thread.
    void handOver(const char* name, platform::RecordPtr record);
    bool sleep(double seconds, std::stop_token stop);
    // The loop's first pause, which endFirstPause() cuts short; false when
    // stop was requested.
    bool firstPause(std::stop_token stop);
    // With the port lock held: let the line go (its exclusive use, its lock,
    // what it had delivered) and mark the port closed.
    void closeLocked();
    // With the port lock held: up to max bytes from the line (through the
    // receive buffer) within the line's timeout, for a reply that can be
    // complete at replyComplete at the earliest. A device found gone is
    // closed as reset would close it.
    LineRead readLocked(uint8_t* buf, std::size_t max, std::chrono::steady_clock::time_point replyComplete);
    // The same for the further bytes of a diagnostic request.
    LineRead readUpToLocked(uint8_t* buf, std::size_t need);
    // With the port lock held: drops what the line delivers until it has been
    // quiet for `quiet` (or for at most the read timeout), then the driver's
    // input queue. Returns the bytes dropped (VerifiedRead.cpp).
    std::size_t dropUntilQuietLocked(std::chrono::nanoseconds quiet);
    LineWait lineWaitLocked() const;
    // With the port lock held: writes the bytes to the line and counts them.
    bool sendLocked(const uint8_t* data, std::size_t size);
    // Counts what a read from the receive buffer took from the line.
    void countReceived(std::size_t bufferedBefore, const LineRead& r);
    // Keeps the reason of a failed open (and, with kind None, clears it).
    void noteOpenFailure(OpenFailure failure);
    // The reason for errno err from opening path: describeOpenFailure, or
    // the one noted when it is the same port still in use.
    OpenFailure describeFailure(const std::string& path, int err, bool setUp) const;
    // When a reply of `bytes` to a request written now can be complete.
    std::chrono::steady_clock::time_point replyCompleteLocked(std::size_t bytes) const;
    // One poll exchange under the port lock; hands over the record it completes.
    void pollOnce(int32_t& packetCount);
    // One diagnostic burst under the port lock.
    void diagnosticBurst();
    std::stop_token stopToken() const { return stop_.get_token(); }

    // Fields in their given order. The strings are handed over as whole
    // immutable values, since the acquisition thread may read the path inside
    // OpenPort while the main thread replaces it.
    mutable std::mutex stringsMutex_;
    std::shared_ptr<const std::string> commPortPath_;
    std::shared_ptr<const std::string> commPortName_;
    std::atomic<int32_t> baudRate_;
    std::atomic<int8_t> PortOpenOK{0};
    std::atomic<int> portDescriptor_{-1};
    std::mutex serialPortLock;

    // Changes with every new path or speed (under stringsMutex_), so that an
    // open can tell whether what it opened is still what was asked for.
    uint64_t settingsGeneration_ = 0;
    // Under serialPortLock: the open line with what it delivered that no
    // exchange took yet; empty while the line is closed.
    std::optional<SerialLine> line_;

    LinkCounters counters_;
    mutable std::mutex failureMutex_;
    OpenFailure openFailure_; // under failureMutex_

    commPortOptions options_;
    platform::UniqueFd stopFd_; // readable once the destructor asks the loop to stop
    std::stop_source stop_;
    std::stop_source firstPauseEnd_; // endFirstPause()
    std::jthread thread_; // last: it stops and joins before the rest goes
};

} // namespace plovex
