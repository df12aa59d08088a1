#include "tests/support/PtyPeer.h"

#include <fcntl.h>
#include <poll.h>
#include <stdexcept>
#include <termios.h>
#include <thread>
#include <unistd.h>

namespace testsupport {

PtyPeer::PtyPeer() : master_(::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC))
{
    char name[128];
    termios t{};
    if (master_ < 0 || ::grantpt(master_) || ::unlockpt(master_) || ::ptsname_r(master_, name, sizeof name) ||
        ::tcgetattr(master_, &t))
        throw std::runtime_error("cannot make a pseudo-terminal");
    slavePath_ = name;
    ::cfmakeraw(&t); // nothing is echoed back before the host sets the line up
    ::tcsetattr(master_, TCSANOW, &t);
}

void PtyPeer::hangUp()
{
    if (master_ >= 0)
        ::close(master_);
    master_ = -1;
}

int PtyPeer::openHostAt(int fd) const
{
    const int opened = ::open(slavePath_.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (opened < 0 || opened == fd)
        return opened;
    const int moved = ::dup2(opened, fd);
    ::close(opened);
    return moved;
}

void PtyPeer::write(const Bytes& bytes)
{
    if (::write(master_, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size()))
        throw std::runtime_error("pseudo-terminal write failed");
}

Bytes PtyPeer::read(std::size_t count, std::chrono::milliseconds timeout)
{
    Bytes out;
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (out.size() < count) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        pollfd p{master_, POLLIN, 0};
        if (left.count() <= 0 || ::poll(&p, 1, static_cast<int>(left.count())) < 0)
            break;
        uint8_t buf[256];
        const ssize_t n = (p.revents & POLLIN) ? ::read(master_, buf, std::min(sizeof buf, count - out.size())) : 0;
        out.insert(out.end(), buf, buf + std::max<ssize_t>(n, 0));
        if (!(p.revents & POLLIN) && p.revents)
            std::this_thread::sleep_for(std::chrono::milliseconds(1)); // no host has the line open
    }
    return out;
}

} // namespace testsupport
