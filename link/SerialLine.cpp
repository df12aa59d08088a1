#include "link/SerialLine.h"

#include "link/BoardFacts.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <linux/serial.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>

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

std::nullopt_t failed(LineOpenError* error, LineOpenStep step, int err)
{
    if (error)
        *error = {step, err};
    return std::nullopt;
}

} // namespace

SerialLine::SerialLine(platform::UniqueFd fd, std::chrono::nanoseconds byteTime)
    : fd_(std::move(fd)), byteTime_(byteTime)
{
}

SerialLine::~SerialLine()
{
    if (!fd_)
        return; // moved from
    ::ioctl(fd_.get(), TIOCNXCL);
    ::flock(fd_.get(), LOCK_UN);
    fd_.reset();
}

std::optional<SerialLine> SerialLine::open(const std::string& path, int32_t baud, int timeoutDeciseconds,
                                           LineOpenError* error)
{
    platform::UniqueFd fd(
        platform::retryEintr([&] { return ::open(path.c_str(), O_RDWR | O_NONBLOCK | O_NOCTTY | O_CLOEXEC); }));
    if (!fd)
        return failed(error, LineOpenStep::Open, errno);
    // The lock comes before the exclusive flag, so that a line another
    // program holds is let go untouched: its flag is that program's. A file
    // system without such locks leaves the exclusive flag as the only guard.
    if (platform::retryEintr([&] { return ::flock(fd.get(), LOCK_EX | LOCK_NB); }) == -1 && errno == EWOULDBLOCK)
        return failed(error, LineOpenStep::Lock, EWOULDBLOCK);

    const int64_t rate = baud > 0 ? baud : board::kDefaultBaudRate; // for the byte time only; cfsetspeed judges the rate
    SerialLine line(std::move(fd), std::chrono::nanoseconds(10'000'000'000LL / rate));
    const int d = line.fd();
    if (::ioctl(d, TIOCEXCL) == -1)
        return failed(error, LineOpenStep::Exclusive, errno);
    if (::fcntl(d, F_SETFL, 0) == -1)
        return failed(error, LineOpenStep::Blocking, errno);

    termios options;
    std::memset(&options, 0, sizeof options);
    ::cfmakeraw(&options);
    options.c_cc[VMIN] = 0;
    options.c_cc[VTIME] = static_cast<cc_t>(timeoutDeciseconds);
    // A rate the driver does not know would leave the speed at 0, which
    // hangs the line up: refuse it like any other setting the line refuses.
    if (::cfsetspeed(&options, static_cast<speed_t>(baud)) == -1)
        return failed(error, LineOpenStep::Settings, EINVAL);
    options.c_cflag |= (CS8 | CREAD);
    if (platform::retryEintr([&] { return ::tcsetattr(d, TCSANOW, &options); }) == -1)
        return failed(error, LineOpenStep::Settings, errno);
    requestLowLatency(d);
    return line;
}

} // namespace plovex
