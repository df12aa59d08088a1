#include "link/commPort.h"

#include "link/BoardFacts.h"
#include "link/Protocol.h"
#include "link/Records.h"
#include "platform/Console.h"
#include "platform/Log.h"
#include "platform/RecordSink.h"
#include "platform/Sleeper.h"

#include <cerrno>
#include <cstring>
#include <sys/eventfd.h>
#include <system_error>
#include <termios.h>
#include <unistd.h>

namespace plovex {

commPort::commPort() : commPort(commPortOptions{}) {}

commPort::commPort(commPortOptions options)
    : commPortPath_(std::make_shared<const std::string>(board::kDefaultPortPath)),
      commPortName_(std::make_shared<const std::string>()),
      baudRate_(board::kDefaultBaudRate),
      options_(std::move(options))
{
    if (!options_.sink)
        options_.sink = &platform::defaultRecordSink();
    if (!options_.sleeper)
        options_.sleeper = platform::realSleeper();
    if (options_.lineTimeoutDeciseconds < 1 || options_.lineTimeoutDeciseconds > 255)
        options_.lineTimeoutDeciseconds = 10;
    stopFd_.reset(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK));
    if (!stopFd_)
        throw std::system_error(errno, std::generic_category(), "commPort: no descriptor to stop the loop with");

    // The acquisition thread. A loop ends only through the destructor's stop
    // request; nothing it runs may take the process down with an exception.
    auto body = [this](void (commPort::*loop)(std::stop_token)) {
        return [this, loop] {
            try {
                (this->*loop)(stop_.get_token());
            } catch (const std::exception& e) {
                platform::logEntry(std::string("acquisition thread ended: ") + e.what());
            } catch (...) {
                platform::logEntry("acquisition thread ended: unknown error");
            }
        };
    };
    switch (options_.loop) {
    case LoopKind::Acquisition:
        thread_ = std::jthread(body(&commPort::idleThread));
        break;
    case LoopKind::Diagnostic:
        thread_ = std::jthread(body(&commPort::idleThreadTest));
        break;
    case LoopKind::None:
        break;
    }
}

commPort::~commPort()
{
    stop_.request_stop();
    const uint64_t one = 1;
    [[maybe_unused]] const auto n = ::write(stopFd_.get(), &one, sizeof one); // ends a wait on the line at once
    if (thread_.joinable())
        thread_.join();
    std::lock_guard lock(serialPortLock);
    closeLocked();
}

std::string commPort::commPortPath() const
{
    std::lock_guard lock(stringsMutex_);
    return *commPortPath_;
}

void commPort::setCommPortPath(std::string path)
{
    auto fresh = std::make_shared<const std::string>(std::move(path));
    std::lock_guard lock(stringsMutex_);
    commPortPath_ = std::move(fresh);
    ++settingsGeneration_;
}

std::string commPort::commPortName() const
{
    std::lock_guard lock(stringsMutex_);
    return *commPortName_;
}

void commPort::setCommPortName(std::string name)
{
    auto fresh = std::make_shared<const std::string>(std::move(name));
    std::lock_guard lock(stringsMutex_);
    commPortName_ = std::move(fresh);
}

void commPort::setBaudRate(int32_t rate)
{
    std::lock_guard lock(stringsMutex_);
    if (baudRate_.load() == rate)
        return;
    baudRate_.store(rate);
    ++settingsGeneration_;
}

int commPort::OpenPort()
{
    if (PortOpenOK.load(std::memory_order_acquire))
        return portDescriptor_.load(std::memory_order_acquire); // already open: nothing to do

    std::shared_ptr<const std::string> pathHold;
    int32_t baud = 0;
    uint64_t generation = 0;
    {
        std::lock_guard lock(stringsMutex_);
        pathHold = commPortPath_; // stays valid however the path is replaced meanwhile
        baud = baudRate_.load();
        generation = settingsGeneration_;
    }
    const std::string& path = *pathHold;

    LineOpenError error;
    std::optional<SerialLine> opened = SerialLine::open(path, baud, options_.lineTimeoutDeciseconds, &error);
    if (!opened) {
        // The set-up steps after the open each have their console line; a
        // refused open (no device, no permission, in use) prints none.
        const char* format = nullptr;
        switch (error.step) {
        case LineOpenStep::Exclusive:
            format = "Error setting TIOCEXCL on %s - %s(%d).\n";
            break;
        case LineOpenStep::Blocking:
            format = "Error clearing O_NONBLOCK %s - %s(%d).\n";
            break;
        case LineOpenStep::Settings:
            format = "Error setting tty attributes %s - %s(%d).\n";
            break;
        case LineOpenStep::Open:
        case LineOpenStep::Lock:
            break;
        }
        if (format)
            platform::consolePrintf(format, path.c_str(), std::strerror(error.error), error.error);
        noteOpenFailure(describeFailure(path, error.error, format != nullptr));
        errno = error.error;
        return -1;
    }

    std::lock_guard lock(serialPortLock);
    if (PortOpenOK.load(std::memory_order_acquire))
        return portDescriptor_.load(std::memory_order_acquire); // another open got there first; ours goes
    {
        std::lock_guard strings(stringsMutex_);
        if (generation != settingsGeneration_)
            return -1; // opened what is no longer asked for; it goes
    }
    line_.emplace(std::move(*opened));
    portDescriptor_.store(line_->fd(), std::memory_order_release);
    PortOpenOK.store(1, std::memory_order_release);
    counters_.opened();
    noteOpenFailure({});
    return line_->fd();
}

void commPort::closeLocked()
{
    line_.reset(); // its exclusive use, its lock and what it had delivered go with it
    portDescriptor_.store(-1, std::memory_order_release);
    PortOpenOK.store(0, std::memory_order_release);
}

LineWait commPort::lineWaitLocked() const
{
    return {line_->fd(), stopFd_.get(), std::chrono::milliseconds(100 * options_.lineTimeoutDeciseconds),
            line_->byteTime()};
}

std::chrono::steady_clock::time_point commPort::replyCompleteLocked(std::size_t bytes) const
{
    return std::chrono::steady_clock::now() + line_->byteTime() * static_cast<long>(bytes);
}

void commPort::countReceived(std::size_t bufferedBefore, const LineRead& r)
{
    // What the line delivered is what is buffered now plus what was served,
    // less what was buffered before.
    const std::size_t served = r.status == LineStatus::Data ? r.count : 0;
    const std::size_t after = line_->received().buffered() + served;
    if (after > bufferedBefore)
        counters_.received(after - bufferedBefore);
}

bool commPort::sendLocked(const uint8_t* data, std::size_t size)
{
    if (!writeLine(line_->fd(), data, size))
        return false;
    counters_.sent(size);
    return true;
}

void commPort::noteOpenFailure(OpenFailure failure)
{
    std::lock_guard lock(failureMutex_);
    // An open that lost the race to another (whose line holds the lock it
    // wanted) is no failure. The winner publishes before it clears the
    // reason, under this mutex, so a stale reason never outlives it.
    if (failure.kind != OpenProblem::None && PortOpenOK.load(std::memory_order_acquire))
        return;
    openFailure_ = std::move(failure);
}

OpenFailure commPort::describeFailure(const std::string& path, int err, bool setUp) const
{
    // A port that stays in use is described once, not each second the loop
    // tries it again: finding the program that holds it reads /proc, and may
    // look at every process's descriptors.
    if (openProblemOf(err, setUp) == OpenProblem::Busy) {
        std::lock_guard lock(failureMutex_);
        if (openFailure_.kind == OpenProblem::Busy && openFailure_.path == path && openFailure_.error == err)
            return openFailure_;
    }
    return describeOpenFailure(path, err, setUp);
}

OpenFailure commPort::openFailure() const
{
    std::lock_guard lock(failureMutex_);
    return openFailure_;
}

LineRead commPort::readLocked(uint8_t* buf, std::size_t max, std::chrono::steady_clock::time_point replyComplete)
{
    LineWait wait = lineWaitLocked();
    wait.replyComplete = replyComplete;
    const std::size_t before = line_->received().buffered();
    const LineRead r = line_->received().take(wait, buf, max);
    countReceived(before, r);
    if (r.status == LineStatus::Gone)
        closeLocked();
    return r;
}

LineRead commPort::readUpToLocked(uint8_t* buf, std::size_t need)
{
    const std::size_t before = line_->received().buffered();
    const LineRead r = line_->received().takeUpTo(lineWaitLocked(), buf, need);
    countReceived(before, r);
    if (r.status == LineStatus::Gone)
        closeLocked();
    return r;
}

void commPort::reset()
{
    std::lock_guard lock(serialPortLock);
    closeLocked();
}

int commPort::readEEPROM(int address, int16_t* data)
{
    if (!data)
        return 0;
    const auto request = wire::eepromReadRequest(address);
    std::lock_guard lock(serialPortLock);
    if (!PortOpenOK.load(std::memory_order_acquire))
        return 0;
    if (!sendLocked(request.data(), request.size())) {
        if (errnoMeansGone(errno))
            closeLocked();
        return 0;
    }
    uint8_t reply[2];
    const auto replyComplete = replyCompleteLocked(sizeof reply);
    std::size_t got = 0;
    while (got < sizeof reply) {
        const LineRead r = readLocked(reply + got, sizeof reply - got, replyComplete);
        if (r.status != LineStatus::Data)
            return 0;
        got += r.count;
    }
    *data = wire::decode16(reply[0], reply[1]);
    counters_.eepromRead(); // counted under the lock, before a write can follow it
    return 1;
}

void commPort::writeEEPROM(int address, int16_t data)
{
    const auto frame = wire::eepromWriteFrame(address, data);
    std::lock_guard lock(serialPortLock);
    if (!PortOpenOK.load(std::memory_order_acquire))
        return;
    if (!sendLocked(frame.data(), frame.size()) && errnoMeansGone(errno))
        closeLocked();
}

void commPort::discardInput()
{
    std::lock_guard lock(serialPortLock);
    if (!PortOpenOK.load(std::memory_order_acquire))
        return;
    line_->received().clear();
    ::tcflush(line_->fd(), TCIFLUSH);
}

void commPort::sendReboot()
{
    const auto frame = wire::rebootFrame();
    std::lock_guard lock(serialPortLock);
    if (!PortOpenOK.load(std::memory_order_acquire))
        return;
    if (!sendLocked(frame.data(), frame.size()) && errnoMeansGone(errno))
        closeLocked();
}

void commPort::handOver(const char* name, platform::RecordPtr record)
{
    options_.sink->handOver(name, std::move(record));
}

bool commPort::sleep(double seconds, std::stop_token stop)
{
    return options_.sleeper->sleepFor(seconds, stop);
}

bool commPort::firstPause(std::stop_token stop)
{
    // One token for both ends of the pause: a stop request passes it on.
    std::stop_callback relay(stop, [this] { firstPauseEnd_.request_stop(); });
    sleep(1.0, firstPauseEnd_.get_token());
    return !stop.stop_requested();
}

} // namespace plovex
