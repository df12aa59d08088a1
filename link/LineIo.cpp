#include "link/LineIo.h"

#include "platform/UniqueFd.h"

#include <cerrno>
#include <poll.h>
#include <unistd.h>

namespace plovex {

namespace {

using Clock = std::chrono::steady_clock;

timespec toTimespec(std::chrono::nanoseconds d)
{
    if (d.count() < 0)
        d = std::chrono::nanoseconds(0);
    return {static_cast<time_t>(d.count() / 1'000'000'000), static_cast<long>(d.count() % 1'000'000'000)};
}

enum class Woken { Input, HangUp, Stop, Time, Failed };

// One wait on the line and the stop descriptor. With input false, only a
// hang-up of the line (always reported) or a stop ends it before the time.
Woken waitOnce(const LineWait& w, bool input, std::chrono::nanoseconds time)
{
    pollfd fds[2] = {{w.fd, static_cast<short>(input ? POLLIN : 0), 0}, {w.stopFd, POLLIN, 0}};
    const timespec ts = toTimespec(time);
    const int r = ::ppoll(fds, w.stopFd >= 0 ? 2 : 1, &ts, nullptr);
    if (r < 0)
        return errno == EINTR ? Woken::Time : Woken::Failed;
    if (r == 0)
        return Woken::Time;
    if (w.stopFd >= 0 && (fds[1].revents & POLLIN))
        return Woken::Stop;
    if (fds[0].revents & POLLIN)
        return Woken::Input;
    return Woken::HangUp; // POLLHUP, POLLERR or POLLNVAL
}

} // namespace

bool errnoMeansGone(int err)
{
    return err == EIO || err == ENXIO || err == ENODEV || err == EBADF;
}

std::size_t readPending(const LineWait& w, uint8_t* buf, std::size_t max, std::chrono::nanoseconds settle)
{
    if (waitOnce(w, false, settle) == Woken::Stop || max == 0)
        return 0;
    if (waitOnce(w, true, std::chrono::nanoseconds(0)) != Woken::Input)
        return 0;
    const ssize_t n = platform::retryEintr([&] { return ::read(w.fd, buf, max); });
    return n > 0 ? static_cast<std::size_t>(n) : 0;
}

LineRead readLine(const LineWait& w, uint8_t* buf, std::size_t max)
{
    const auto deadline = Clock::now() + w.timeout;
    // The reply cannot be complete before then: wait for it whole rather than
    // wake for its first byte and take it piecemeal. A hang-up or a stop
    // still ends the wait.
    if (const auto left = w.replyComplete - Clock::now(); left.count() > 0) {
        if (waitOnce(w, false, left) == Woken::Stop)
            return {LineStatus::Stopped, 0};
    }
    for (;;) {
        const auto now = Clock::now();
        if (now >= deadline)
            return {LineStatus::Timeout, 0};
        switch (waitOnce(w, true, deadline - now)) {
        case Woken::Time:
            continue; // the timeout, or a signal: the loop head decides
        case Woken::Stop:
            return {LineStatus::Stopped, 0};
        case Woken::Failed:
            return {LineStatus::Error, 0};
        case Woken::HangUp:
        case Woken::Input:
            break;
        }
        const ssize_t n = platform::retryEintr([&] { return ::read(w.fd, buf, max); });
        if (n > 0)
            return {LineStatus::Data, static_cast<std::size_t>(n)};
        if (n == 0)
            return {LineStatus::Gone, 0}; // readable yet empty: end of file
        if (errno == EAGAIN)
            continue;
        return {errnoMeansGone(errno) ? LineStatus::Gone : LineStatus::Error, 0};
    }
}

bool writeLine(int fd, const uint8_t* data, std::size_t size)
{
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = platform::retryEintr([&] { return ::write(fd, data + done, size - done); });
        if (n < 0)
            return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

} // namespace plovex
