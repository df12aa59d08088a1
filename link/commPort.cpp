#include "link/commPort.h"

#include "link/BoardFacts.h"
#include "link/Console.h"
#include "link/Protocol.h"
#include "link/Records.h"
#include "link/SerialLine.h"
#include "platform/Log.h"
#include "platform/RecordSink.h"
#include "platform/Sleeper.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <linux/serial.h>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <system_error>
#include <termios.h>
#include <unistd.h>

namespace plovex {

namespace {

// USB serial adapters hold received bytes back for a latency timer (16 ms on
// the common FTDI type) unless the driver is asked for low latency; each reply
// would wait for it. Drivers that do not know the request (a pseudo-terminal,
// for one) refuse it, and the line works as it is.
void requestLowLatency(int fd)
{
    serial_struct serial{};
    if (::ioctl(fd, TIOCGSERIAL, &serial) != 0 || (serial.flags & ASYNC_LOW_LATENCY))
        return;
    serial.flags |= ASYNC_LOW_LATENCY;
    ::ioctl(fd, TIOCSSERIAL, &serial);
}

bool sameDevice(int a, int b)
{
    struct stat sa{}, sb{};
    return ::fstat(a, &sa) == 0 && ::fstat(b, &sb) == 0 && sa.st_rdev == sb.st_rdev;
}

} // namespace

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
    const char* path = pathHold->c_str();

    // O_NOCTTY: the line must never become our controlling terminal, or an
    // unplug would hang us up. O_CLOEXEC: children do not inherit the line.
    platform::UniqueFd fd(platform::retryEintr([&] { return ::open(path, O_RDWR | O_NONBLOCK | O_NOCTTY | O_CLOEXEC); }));
    if (!fd) {
        noteOpenFailure(describeOpenFailure(path, errno));
        return -1;
    }
    // A line that is not kept ends its exclusive use (the flag of a pty
    // outlives the close) unless it is the very device in use.
    auto discard = [&] {
        const int inUse = portDescriptor_.load(std::memory_order_acquire);
        if (!(PortOpenOK.load(std::memory_order_acquire) && sameDevice(fd.get(), inUse)))
            ::ioctl(fd.get(), TIOCNXCL);
        fd.reset();
    };
    auto fail = [&](const char* format) {
        const int err = errno;
        consolePrintf(format, path, std::strerror(err), err);
        noteOpenFailure(describeOpenFailure(path, err, true));
        discard();
        return -1;
    };

    if (::ioctl(fd.get(), TIOCEXCL) == -1)
        return fail("Error setting TIOCEXCL on %s - %s(%d).\n");
    if (::fcntl(fd.get(), F_SETFL, 0) == -1)
        return fail("Error clearing O_NONBLOCK %s - %s(%d).\n");

    termios options;
    std::memset(&options, 0, sizeof options);
    ::cfmakeraw(&options);
    options.c_cc[VMIN] = 0;
    options.c_cc[VTIME] = static_cast<cc_t>(options_.lineTimeoutDeciseconds);
    // A rate the driver does not know would leave the speed at 0, which
    // hangs the line up: refuse it like any other setting the line refuses.
    if (::cfsetspeed(&options, static_cast<speed_t>(baud)) == -1) {
        errno = EINVAL;
        return fail("Error setting tty attributes %s - %s(%d).\n");
    }
    options.c_cflag |= (CS8 | CREAD);
    if (platform::retryEintr([&] { return ::tcsetattr(fd.get(), TCSANOW, &options); }) == -1)
        return fail("Error setting tty attributes %s - %s(%d).\n");
    requestLowLatency(fd.get());

    std::lock_guard lock(serialPortLock);
    if (PortOpenOK.load(std::memory_order_acquire)) {
        discard(); // another open got there first
        return portDescriptor_.load(std::memory_order_acquire);
    }
    {
        std::lock_guard strings(stringsMutex_);
        if (generation != settingsGeneration_) {
            discard(); // opened what is no longer asked for
            return -1;
        }
    }
    line_ = std::move(fd);
    received_.clear();
    byteTime_ = std::chrono::nanoseconds(10'000'000'000LL / (baud > 0 ? baud : board::kDefaultBaudRate));
    portDescriptor_.store(line_.get(), std::memory_order_release);
    PortOpenOK.store(1, std::memory_order_release);
    counters_.opened();
    noteOpenFailure({});
    return line_.get();
}

void commPort::closeLocked()
{
    if (line_) {
        ::ioctl(line_.get(), TIOCNXCL);
        line_.reset();
    }
    received_.clear();
    portDescriptor_.store(-1, std::memory_order_release);
    PortOpenOK.store(0, std::memory_order_release);
}

LineWait commPort::lineWaitLocked() const
{
    return {line_.get(), stopFd_.get(), std::chrono::milliseconds(100 * options_.lineTimeoutDeciseconds), byteTime_};
}

std::chrono::steady_clock::time_point commPort::replyCompleteLocked(std::size_t bytes) const
{
    return std::chrono::steady_clock::now() + byteTime_ * static_cast<long>(bytes);
}

void commPort::countReceived(std::size_t bufferedBefore, const LineRead& r)
{
    // What the line delivered is what is buffered now plus what was served,
    // less what was buffered before.
    const std::size_t served = r.status == LineStatus::Data ? r.count : 0;
    const std::size_t after = received_.buffered() + served;
    if (after > bufferedBefore)
        counters_.received(after - bufferedBefore);
}

bool commPort::sendLocked(const uint8_t* data, std::size_t size)
{
    if (!writeLine(line_.get(), data, size))
        return false;
    counters_.sent(size);
    return true;
}

void commPort::noteOpenFailure(OpenFailure failure)
{
    std::lock_guard lock(failureMutex_);
    openFailure_ = std::move(failure);
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
    const std::size_t before = received_.buffered();
    const LineRead r = received_.take(wait, buf, max);
    countReceived(before, r);
    if (r.status == LineStatus::Gone)
        closeLocked();
    return r;
}

LineRead commPort::readUpToLocked(uint8_t* buf, std::size_t need)
{
    const std::size_t before = received_.buffered();
    const LineRead r = received_.takeUpTo(lineWaitLocked(), buf, need);
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

} // namespace plovex
