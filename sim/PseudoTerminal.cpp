#include "sim/PseudoTerminal.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

namespace plovex::sim {

std::unique_ptr<PseudoTerminal> PseudoTerminal::open(std::string* error)
{
    auto fail = [&](const char* step) -> std::unique_ptr<PseudoTerminal> {
        if (error)
            *error = std::string(step) + " failed: " + std::strerror(errno);
        return nullptr;
    };
    platform::UniqueFd master(platform::retryEintr([] { return ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC); }));
    const int fd = master.get();
    if (!master)
        return fail("posix_openpt");
    if (::grantpt(fd) != 0)
        return fail("grantpt");
    if (::unlockpt(fd) != 0)
        return fail("unlockpt");
    termios t{};
    if (::tcgetattr(fd, &t) != 0)
        return fail("tcgetattr");
    ::cfmakeraw(&t);
    t.c_cc[VMIN] = 1;
    t.c_cc[VTIME] = 0;
    if (platform::retryEintr([&] { return ::tcsetattr(fd, TCSANOW, &t); }) != 0)
        return fail("tcsetattr");
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags < 0 || ::fcntl(fd, F_SETFL, flags | O_NONBLOCK) != 0)
        return fail("fcntl O_NONBLOCK");
    char name[PATH_MAX];
    if (::ptsname_r(fd, name, sizeof name) != 0)
        return fail("ptsname_r");
    return std::unique_ptr<PseudoTerminal>(new PseudoTerminal(std::move(master), name));
}

namespace {

// The slave, opened without waiting and without becoming this process's
// controlling terminal.
platform::UniqueFd openSlave(const std::string& path)
{
    return platform::UniqueFd(
        platform::retryEintr([&] { return ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC); }));
}

} // namespace

int PseudoTerminal::hostBaud() const
{
    termios t{};
    if (::tcgetattr(master_.get(), &t) != 0)
        return 0;
    return baudFromSpeed(::cfgetospeed(&t));
}

void PseudoTerminal::discardUnread() const
{
    // A flush through the master reaches only bytes not yet handed to the
    // slave's side; those already waiting there go with a flush of the slave.
    ::tcflush(master_.get(), TCOFLUSH);
    if (const platform::UniqueFd slave = openSlave(slavePath_))
        ::tcflush(slave.get(), TCIFLUSH);
}

bool PseudoTerminal::hangUpUntilOpened(std::string* error) const
{
    if (!openSlave(slavePath_)) {
        if (error)
            *error = slavePath_ + ": " + std::strerror(errno);
        return false;
    }
    return true; // the slave is closed again as the descriptor goes
}

int baudFromSpeed(unsigned long speed)
{
    switch (speed) {
    case B0: return 0;
    case B50: return 50;
    case B75: return 75;
    case B110: return 110;
    case B134: return 134;
    case B150: return 150;
    case B200: return 200;
    case B300: return 300;
    case B600: return 600;
    case B1200: return 1200;
    case B1800: return 1800;
    case B2400: return 2400;
    case B4800: return 4800;
    case B9600: return 9600;
    case B19200: return 19200;
    case B38400: return 38400;
    case B57600: return 57600;
    case B115200: return 115200;
    case B230400: return 230400;
    case B460800: return 460800;
    case B500000: return 500000;
    case B576000: return 576000;
    case B921600: return 921600;
    case B1000000: return 1000000;
    case B1152000: return 1152000;
    case B1500000: return 1500000;
    case B2000000: return 2000000;
    case B2500000: return 2500000;
    case B3000000: return 3000000;
    case B3500000: return 3500000;
    case B4000000: return 4000000;
    default:
        // Libraries whose speed_t is the rate itself.
        return speed >= 50 && speed <= 4000000 ? static_cast<int>(speed) : 0;
    }
}

} // namespace plovex::sim
