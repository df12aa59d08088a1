#include "link/SerialLine.h"

#include <cerrno>
#include <chrono>
#include <poll.h>
#include <unistd.h>

namespace plovex {

bool errnoMeansGone(int err)
{
    return err == EIO || err == ENXIO || err == ENODEV || err == EBADF;
}

LineRead readLine(int fd, uint8_t* buf, std::size_t max, int timeoutDeciseconds, std::stop_token stop)
{
    using clock = std::chrono::steady_clock;
    const auto deadline = clock::now() + std::chrono::milliseconds(100 * timeoutDeciseconds);
    for (;;) {
        if (stop.stop_requested())
            return {LineStatus::Stopped, 0};
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - clock::now()).count();
        if (left <= 0)
            return {LineStatus::Timeout, 0};
        // Wake at least every 50 ms so a stop request is seen promptly.
        pollfd p{fd, POLLIN, 0};
        const int r = ::poll(&p, 1, static_cast<int>(left < 50 ? left : 50));
        if (r < 0) {
            if (errno == EINTR)
                continue;
            return {LineStatus::Error, 0};
        }
        if (r == 0)
            continue;
        if (p.revents & POLLNVAL)
            return {LineStatus::Gone, 0};
        if (p.revents & POLLIN) {
            const ssize_t n = ::read(fd, buf, max);
            if (n > 0)
                return {LineStatus::Data, static_cast<std::size_t>(n)};
            if (n == 0)
                return {LineStatus::Gone, 0}; // readable yet empty: end of file
            if (errno == EINTR || errno == EAGAIN)
                continue;
            return {errnoMeansGone(errno) ? LineStatus::Gone : LineStatus::Error, 0};
        }
        if (p.revents & (POLLHUP | POLLERR))
            return {LineStatus::Gone, 0};
    }
}

bool writeLine(int fd, const uint8_t* data, std::size_t size)
{
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = ::write(fd, data + done, size - done);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

} // namespace plovex
