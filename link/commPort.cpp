#include "link/commPort.h"

#include "link/Console.h"
#include "link/Protocol.h"
#include "link/Records.h"
#include "link/SerialLine.h"
#include "platform/Log.h"
#include "platform/MainThread.h"
#include "platform/NotificationQueue.h"
#include "platform/Sleeper.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace plovex {

namespace {
const char* kDefaultPath = "/dev/cu.KeySerial1";
constexpr int32_t kDefaultBaudRate = 9600;
} // namespace

commPort::commPort() : commPort(commPortOptions{}) {}

commPort::commPort(commPortOptions options)
    : commPortPath_(std::make_shared<const std::string>(kDefaultPath)),
      commPortName_(std::make_shared<const std::string>()),
      baudRate_(kDefaultBaudRate),
      options_(std::move(options))
{
    if (!options_.mainThread)
        options_.mainThread = &platform::defaultMainThread();
    if (!options_.queue)
        options_.queue = &platform::NotificationQueue::defaultQueue();
    if (!options_.sleeper)
        options_.sleeper = platform::realSleeper();
    if (options_.lineTimeoutDeciseconds < 1 || options_.lineTimeoutDeciseconds > 255)
        options_.lineTimeoutDeciseconds = 10;

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
    if (thread_.joinable())
        thread_.join();
    std::lock_guard lock(serialPortLock);
    if (PortOpenOK.load())
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
    if (baudRate_.load() == rate)
        return;
    baudRate_.store(rate);
}

int commPort::OpenPort()
{
    std::shared_ptr<const std::string> pathHold;
    {
        std::lock_guard lock(stringsMutex_);
        pathHold = commPortPath_; // stays valid however the path is replaced meanwhile
    }
    const char* path = pathHold->c_str();

    // O_NOCTTY: the line must never become our controlling terminal, or an
    // unplug would hang us up. O_CLOEXEC: children do not inherit the line.
    const int fd = ::open(path, O_RDWR | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd == -1)
        return -1;

    auto fail = [&](const char* format) {
        const int err = errno;
        consolePrintf(format, path, std::strerror(err), err);
        ::ioctl(fd, TIOCNXCL); // the exclusive flag of a pty outlives the close
        ::close(fd);
        return -1;
    };

    if (::ioctl(fd, TIOCEXCL) == -1)
        return fail("Error setting TIOCEXCL on %s - %s(%d).\n");
    if (::fcntl(fd, F_SETFL, 0) == -1)
        return fail("Error clearing O_NONBLOCK %s - %s(%d).\n");

    termios options;
    std::memset(&options, 0, sizeof options);
    ::cfmakeraw(&options);
    options.c_cc[VMIN] = 0;
    options.c_cc[VTIME] = static_cast<cc_t>(options_.lineTimeoutDeciseconds);
    // A rate the driver does not know would leave the speed at 0, which
    // hangs the line up: refuse it like any other setting the line refuses.
    if (::cfsetspeed(&options, static_cast<speed_t>(baudRate_.load())) == -1) {
        errno = EINVAL;
        return fail("Error setting tty attributes %s - %s(%d).\n");
    }
    options.c_cflag |= (CS8 | CREAD);
    if (::tcsetattr(fd, TCSANOW, &options) == -1)
        return fail("Error setting tty attributes %s - %s(%d).\n");

    portDescriptor_.store(fd, std::memory_order_release);
    PortOpenOK.store(1, std::memory_order_release);
    return fd;
}

void commPort::closeLocked()
{
    const int fd = portDescriptor_.load();
    if (PortOpenOK.load() && fd >= 0) {
        ::ioctl(fd, TIOCNXCL);
        ::close(fd);
    }
    portDescriptor_.store(-1, std::memory_order_release);
    PortOpenOK.store(0, std::memory_order_release);
}

LineRead commPort::readLocked(uint8_t* buf, std::size_t max, std::stop_token stop)
{
    const LineRead r = readLine(portDescriptor_.load(std::memory_order_acquire), buf, max,
                                options_.lineTimeoutDeciseconds, stop);
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
    const int fd = portDescriptor_.load(std::memory_order_acquire);
    if (!writeLine(fd, request.data(), request.size())) {
        if (errnoMeansGone(errno))
            closeLocked();
        return 0;
    }
    uint8_t reply[2];
    std::size_t got = 0;
    while (got < sizeof reply) {
        const LineRead r = readLocked(reply + got, sizeof reply - got, stopToken());
        if (r.status != LineStatus::Data)
            return 0;
        got += r.count;
    }
    *data = wire::decode16(reply[0], reply[1]);
    return 1;
}

void commPort::writeEEPROM(int address, int16_t data)
{
    const auto frame = wire::eepromWriteFrame(address, data);
    std::lock_guard lock(serialPortLock);
    if (!PortOpenOK.load(std::memory_order_acquire))
        return;
    if (!writeLine(portDescriptor_.load(std::memory_order_acquire), frame.data(), frame.size()) && errnoMeansGone(errno))
        closeLocked();
}

void commPort::sendReboot()
{
    const auto frame = wire::rebootFrame();
    std::lock_guard lock(serialPortLock);
    if (!PortOpenOK.load(std::memory_order_acquire))
        return;
    if (!writeLine(portDescriptor_.load(std::memory_order_acquire), frame.data(), frame.size()) && errnoMeansGone(errno))
        closeLocked();
}

namespace {
// What the post operations do on the main thread: queue the record under its name.
void postWhenIdle(platform::NotificationQueue* queue, const char* name, platform::RecordPtr record)
{
    queue->enqueueWhenIdle({name, std::move(record)});
}
} // namespace

void commPort::postInclinoDataNotification(platform::RecordPtr record)
{
    postWhenIdle(options_.queue, records::kInclinoData, std::move(record));
}

void commPort::postInclinoParameterNotification(platform::RecordPtr record)
{
    postWhenIdle(options_.queue, records::kInclinoParameter, std::move(record));
}

// The hand-over carries the queue rather than this object, so that a task
// still waiting on the main thread stays sound if a test's commPort is gone.
void commPort::handOverData(platform::RecordPtr record)
{
    options_.mainThread->post([queue = options_.queue, record = std::move(record)]() mutable {
        postWhenIdle(queue, records::kInclinoData, std::move(record));
    });
}

void commPort::handOverParameter(platform::RecordPtr record)
{
    options_.mainThread->post([queue = options_.queue, record = std::move(record)]() mutable {
        postWhenIdle(queue, records::kInclinoParameter, std::move(record));
    });
}

bool commPort::sleep(double seconds, std::stop_token stop)
{
    return options_.sleeper->sleepFor(seconds, stop);
}

} // namespace plovex
