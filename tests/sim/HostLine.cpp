#include "tests/sim/HostLine.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

namespace simtest {

HostLine::HostLine(const std::string& path, speed_t speed)
{
    fd_ = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd_ < 0) {
        error_ = path + ": " + std::strerror(errno);
        return;
    }
    termios t{};
    ::cfmakeraw(&t);
    t.c_cflag |= CS8 | CREAD | CLOCAL;
    t.c_cc[VMIN] = 0;
    t.c_cc[VTIME] = 0;
    ::cfsetspeed(&t, speed);
    if (::tcsetattr(fd_, TCSANOW, &t) != 0) {
        error_ = path + ": tcsetattr: " + std::strerror(errno);
        ::close(fd_);
        fd_ = -1;
    }
}

HostLine::~HostLine()
{
    if (fd_ >= 0)
        ::close(fd_);
}

bool HostLine::send(const Bytes& bytes)
{
    return ::write(fd_, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
}

Bytes HostLine::read(std::size_t n, std::chrono::milliseconds timeout)
{
    Bytes got;
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (got.size() < n) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            break;
        pollfd p{fd_, POLLIN, 0};
        if (::poll(&p, 1, static_cast<int>(left.count())) <= 0)
            continue;
        std::uint8_t buf[512];
        const ssize_t r = ::read(fd_, buf, std::min(sizeof buf, n - got.size()));
        if (r > 0)
            got.insert(got.end(), buf, buf + r);
        else if (r == 0 || errno != EAGAIN)
            break;
    }
    return got;
}

Bytes HostLine::readFor(std::chrono::milliseconds window)
{
    return read(SIZE_MAX, window);
}

bool HostLine::waitHangup(std::chrono::milliseconds timeout)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (std::chrono::steady_clock::now() < deadline) {
        pollfd p{fd_, POLLIN, 0};
        if (::poll(&p, 1, 20) > 0) {
            if (p.revents & (POLLHUP | POLLERR))
                return true;
            std::uint8_t buf[64];
            const ssize_t r = ::read(fd_, buf, sizeof buf);
            if (r == 0 || (r < 0 && errno == EIO))
                return true;
        }
    }
    return false;
}

Bytes pollOnce(HostLine& host)
{
    if (!host.send({0xEE}))
        return {};
    return host.read(21);
}

int value16(const Bytes& b, std::size_t offset)
{
    return static_cast<std::int16_t>(static_cast<std::uint16_t>((b.at(offset) << 8) | b.at(offset + 1)));
}

Bytes writeFrame(int address, int value)
{
    const auto v = static_cast<std::uint16_t>(value);
    return {static_cast<std::uint8_t>(address <= 15 ? 0x09 : 0x99), 0x71, static_cast<std::uint8_t>(address & 0xFF),
            static_cast<std::uint8_t>(v >> 8), static_cast<std::uint8_t>(v & 0xFF), 0xAA};
}

Bytes programBlock(std::uint16_t address, const Bytes& data)
{
    Bytes f(70, 0);
    f[0] = 0x9A;
    f[1] = 0x71;
    f[2] = static_cast<std::uint8_t>(address >> 8);
    f[3] = static_cast<std::uint8_t>(address & 0xFF);
    for (std::size_t i = 0; i < data.size() && i < 64; ++i)
        f[4 + i] = data[i];
    unsigned sum = 0;
    for (int i = 0; i < 68; ++i)
        sum += f[i];
    f[68] = static_cast<std::uint8_t>((sum >> 8) & 0xFF);
    f[69] = static_cast<std::uint8_t>(sum & 0xFF);
    return f;
}

} // namespace simtest
