#pragma once
// commPort: the link to the inclinometer board. It owns the serial line and
// the port lock, runs the acquisition thread, carries every command to the
// board, and hands the records it makes to the main thread.
//
// Threads: the main thread creates the object, sets path, name and speed,
// opens the line once at launch, resets it and sends EEPROM writes; the
// acquisition thread (started by the constructor) polls the board and
// reopens the line whenever it is closed. Every exchange on the line holds
// serialPortLock and re-tests PortOpenOK once it holds it.

#include "link/SerialLine.h"
#include "platform/Record.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <stop_token>
#include <string>
#include <thread>

namespace platform {
class MainThread;
class NotificationQueue;
class Sleeper;
} // namespace platform

namespace plovex {

// Which loop the constructor starts on the acquisition thread.
enum class LoopKind {
    Acquisition, // idleThread: what the application always runs
    Diagnostic,  // idleThreadTest: listens and answers diagnostic requests
    None,        // no thread (tests of single exchanges, one-shot commands)
};

struct commPortOptions {
    LoopKind loop = LoopKind::Acquisition;
    // Where records are handed over and queued. Defaults: the process's
    // main thread and its notification queue.
    platform::MainThread* mainThread = nullptr;
    platform::NotificationQueue* queue = nullptr;
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

    // Opens commPortPath raw, exclusively, at baudRate. Returns the
    // descriptor, or -1 (with one line on standard output when a set-up step
    // after the open failed).
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

    // Reads one EEPROM parameter. 1 and *data set when the value arrived;
    // 0 with *data unchanged otherwise (line closed, write error, read error,
    // reply incomplete at the timeout, data null).
    int readEEPROM(int address, int16_t* data);
    // Sends one EEPROM write frame; nothing when the line is closed.
    void writeEEPROM(int address, int16_t data);
    // Sends the reboot frame; nothing when the line is closed.
    void sendReboot();
    // Uploads a firmware image in 64-byte blocks, 0.25 s apart, holding the
    // port lock throughout; prints one console line per block. Returns false
    // (with a message naming the file and the reason on standard error) when
    // nothing or not all of it could be sent. progress, when given, is
    // called after each block with the bytes sent so far and the image size.
    bool sendProgram(const std::string& path,
                     const std::function<void(std::size_t sent, std::size_t total)>& progress = {});

    // Run on the main thread: queue the record as "inclinoData" / "inclinoParameter".
    void postInclinoDataNotification(platform::RecordPtr record);
    void postInclinoParameterNotification(platform::RecordPtr record);

    // The loop bodies; the constructor runs one of them on the acquisition thread.
    void idleThread(std::stop_token stop);
    void idleThreadTest(std::stop_token stop);

    const commPortOptions& options() const { return options_; }

private:
    friend struct commPortTestAccess; // lets tests hold the port lock

    // Hand-over of a record to the main thread, never waiting for it.
    void handOverData(platform::RecordPtr record);
    void handOverParameter(platform::RecordPtr record);
    bool sleep(double seconds, std::stop_token stop);
    // With the port lock held: end exclusive use and close the line.
    void closeLocked();
    // With the port lock held: one read of up to max bytes within the line's
    // timeout. A device found gone is closed as reset would close it.
    LineRead readLocked(uint8_t* buf, std::size_t max, std::stop_token stop);
    // One poll exchange under the port lock; hands over the record it completes.
    void pollOnce(std::stop_token stop, int32_t& packetCount);
    // One diagnostic burst under the port lock.
    void diagnosticBurst(std::stop_token stop);
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

    commPortOptions options_;
    std::stop_source stop_;
    std::jthread thread_; // last: it stops and joins before the rest goes
};

} // namespace plovex
