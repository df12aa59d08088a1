// The main of every test program. Before any test runs (and before any
// thread starts), the program moves into a mount namespace of its own with a
// private instance of /dev/pts: the pseudo-terminals of its simulated boards
// and peers, and of the programs it starts, are numbered apart from every
// other program's. ctest runs each case as a process of its own, two at a
// time, as root, and TIOCEXCL does not keep root out: without this, a loop
// that reopens a path after its board went could reach the recycled
// /dev/pts/N of another test's board and take its bytes.
//
// It also moves into a network namespace of its own with only the loopback
// interface up: the brokers and databases a test starts on 127.0.0.1 (and the
// ports it picks for them) are its own, so that a port picked by two tests at
// once, or a server of another test, is never reached.

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <grp.h>
#include <net/if.h>
#include <sched.h>
#include <string>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// Empty when the private instance is in place, else why not.
std::string isolatePseudoTerminals()
{
    auto failed = [](const char* step) { return std::string(step) + ": " + std::strerror(errno); };
    if (::unshare(CLONE_NEWNS) != 0)
        return failed("unshare(CLONE_NEWNS)");
    // Nothing mounted here may reach the machine's mount table.
    if (::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
        return failed("making / private");
    // As the system mounts it: slaves in the terminal group, mode 620.
    std::string options = "newinstance,ptmxmode=0666,mode=0620";
    if (const group* tty = ::getgrnam("tty"))
        options += ",gid=" + std::to_string(tty->gr_gid);
    if (::mount("devpts", "/dev/pts", "devpts", MS_NOSUID | MS_NOEXEC, options.c_str()) != 0)
        return failed("mounting a devpts instance on /dev/pts");
    if (::mount("/dev/pts/ptmx", "/dev/ptmx", nullptr, MS_BIND, nullptr) != 0)
        return failed("binding /dev/pts/ptmx onto /dev/ptmx");
    return {};
}

// Empty when the private network with its loopback up is in place, else why not.
std::string isolateNetwork()
{
    auto failed = [](const char* step) { return std::string(step) + ": " + std::strerror(errno); };
    if (::unshare(CLONE_NEWNET) != 0)
        return failed("unshare(CLONE_NEWNET)");
    const int s = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (s < 0)
        return failed("socket");
    ifreq ifr{};
    std::strncpy(ifr.ifr_name, "lo", IFNAMSIZ - 1);
    std::string why;
    if (::ioctl(s, SIOCGIFFLAGS, &ifr) != 0)
        why = failed("reading the loopback's flags");
    else if (ifr.ifr_flags |= IFF_UP | IFF_RUNNING; ::ioctl(s, SIOCSIFFLAGS, &ifr) != 0)
        why = failed("bringing the loopback up");
    ::close(s);
    return why;
}

} // namespace

int main(int argc, char** argv)
{
    testing::InitGoogleTest(&argc, argv);
    if (!GTEST_FLAG_GET(list_tests)) {
        if (const std::string why = isolatePseudoTerminals(); !why.empty())
            std::fprintf(stderr,
                         "plovex tests: no private pseudo-terminals (%s); this test shares /dev/pts with every other "
                         "program, so another test's reopening loop may reach its boards\n",
                         why.c_str());
        if (const std::string why = isolateNetwork(); !why.empty())
            std::fprintf(stderr,
                         "plovex tests: no private network (%s); the servers this test starts share 127.0.0.1 with "
                         "every other program\n",
                         why.c_str());
    }
    return RUN_ALL_TESTS();
}
