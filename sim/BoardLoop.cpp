#include "platform/Log.h"
#include "platform/Sleeper.h"
#include "platform/UniqueFd.h"
#include "sim/SimulatedBoardImpl.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace plovex::sim {

namespace {

using namespace std::chrono_literals;

constexpr int kFallbackBaud = 38400;
constexpr auto kLongestWait = 100ms;        // the thread looks round at least this often
constexpr auto kShortestPacedWait = 1ms;    // paced bytes go out in steps at least this far apart
constexpr auto kAbsentHostRetry = 20ms;     // how often a hung-up line is looked at again
constexpr std::size_t kNoiseQueued = 64;    // a flood keeps at most this much noise waiting

std::chrono::nanoseconds byteTime(int baud)
{
    return std::chrono::nanoseconds(10'000'000'000LL / (baud > 0 ? baud : kFallbackBaud));
}

timespec toTimespec(std::chrono::nanoseconds d)
{
    if (d < 0ns)
        d = 0ns;
    return timespec{static_cast<time_t>(d.count() / 1'000'000'000), static_cast<long>(d.count() % 1'000'000'000)};
}

} // namespace

// For failures in the board's thread, which no caller sees returned.
void SimulatedBoard::Impl::fail(const std::string& why)
{
    error = why;
    platform::logEntry("simulated board: " + why);
}

void SimulatedBoard::Impl::wake() const
{
    if (wakeFd) {
        const std::uint64_t one = 1;
        [[maybe_unused]] const auto r = platform::retryEintr([&] { return ::write(wakeFd.get(), &one, sizeof one); });
    }
}

void SimulatedBoard::Impl::readLineSpeed()
{
    lineByte = paced && pty ? byteTime(pty->hostBaud()) : 0ns;
}

std::chrono::nanoseconds SimulatedBoard::Impl::perByte() const
{
    return std::max<std::chrono::nanoseconds>(lineByte, slow);
}

void SimulatedBoard::Impl::service(BoardClock::time_point now)
{
    if (peer) {
        peer->tick(now);
        if (pty && hostPresent) {
            for (const auto& w : peer->due(now)) {
                const ssize_t n = platform::retryEintr([&] { return ::write(pty->master(), w.data(), w.size()); });
                if (n != static_cast<ssize_t>(w.size())) {
                    peer->sendFailed();
                    break;
                }
                core.counters().bytesSent += w.size();
            }
        }
        return;
    }
    // Bytes already waiting are heard before a frame is judged stalled: a
    // board thread kept from running (a loaded machine) must not take its
    // own lateness for a pause of the host's.
    if (int waiting = 0; pty && hostPresent && ::ioctl(pty->master(), FIONREAD, &waiting) == 0 && waiting > 0)
        readLine(now);
    core.tick(now);
    if (core.flooding(now) && pty) {
        const auto each = std::max<std::chrono::nanoseconds>(byteTime(pty->hostBaud()), slow);
        if (noiseNextAt < now - 5ms)
            noiseNextAt = now - 5ms;
        scratch.clear();
        while (noiseNextAt <= now && pacer.size() + scratch.size() < kNoiseQueued) {
            core.appendNoise(1, scratch);
            noiseNextAt += each;
        }
        pacer.push(scratch, now);
    }
    sendDue(now);
}

void SimulatedBoard::Impl::sendDue(BoardClock::time_point now)
{
    if (!pty || outputBlocked || pacer.empty())
        return;
    pacer.setPerByte(perByte());
    pacer.due(now, scratch);
    if (scratch.empty())
        return;
    const ssize_t n = platform::retryEintr([&] { return ::write(pty->master(), scratch.data(), scratch.size()); });
    if (n > 0) {
        pacer.sent(static_cast<std::size_t>(n));
        core.counters().bytesSent += static_cast<std::size_t>(n);
    }
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
        outputBlocked = true; // wait until the host reads
    else if (n < 0)
        pacer.clear(); // nobody to send to
}

void SimulatedBoard::Impl::readLine(BoardClock::time_point now)
{
    std::uint8_t buf[4096];
    std::vector<std::uint8_t> out;
    for (int round = 0; round < 16 && pty; ++round) {
        const ssize_t n = platform::retryEintr([&] { return ::read(pty->master(), buf, sizeof buf); });
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            return;
        if (n <= 0) { // EIO: no host has the line open
            hostGone(now);
            return;
        }
        const std::span<const std::uint8_t> bytes(buf, static_cast<std::size_t>(n));
        if (peer) {
            core.counters().bytesReceived += bytes.size();
            peer->receive(bytes, now);
            continue;
        }
        out.clear();
        core.receive(bytes, now, out);
        if (core.takeFlushRequest())
            pacer.clear();
        // The speed the host set is read once per reply, not once per step.
        if (!out.empty() && pacer.empty())
            readLineSpeed();
        pacer.push(out, now);
        if (static_cast<std::size_t>(n) < sizeof buf)
            return; // a short read took everything there was
    }
}

void SimulatedBoard::Impl::hostGone(BoardClock::time_point now)
{
    if (hostPresent) {
        // What the host left unread would greet the next host that opens the line.
        pacer.clear();
        if (pty)
            pty->discardUnread();
        if (peer)
            peer->lineLost();
        hostPresent = false;
        ++core.counters().hostHangUps;
    }
    lookAgainAt = now + kAbsentHostRetry;
}

std::chrono::nanoseconds SimulatedBoard::Impl::waitFrom(BoardClock::time_point now) const
{
    BoardClock::time_point until = now + kLongestWait;
    auto consider = [&](std::optional<BoardClock::time_point> t) {
        if (t && *t < until)
            until = *t;
    };
    consider(peer ? peer->nextDeadline() : core.nextDeadline());
    if (!peer && core.flooding(now))
        consider(std::max(noiseNextAt, now + kShortestPacedWait));
    if (!outputBlocked)
        consider(pacer.nextWake(now, kShortestPacedWait));
    if (!hostPresent && lookAgainAt > now)
        consider(lookAgainAt);
    return until - now;
}

void SimulatedBoard::Impl::run(std::stop_token stop)
{
    try {
        while (!stop.stop_requested()) {
            pollfd fds[2] = {{wakeFd.get(), POLLIN, 0}, {-1, 0, 0}};
            std::uint64_t gen = 0;
            timespec wait{};
            {
                std::lock_guard lock(m);
                const auto now = BoardClock::now();
                service(now);
                gen = generation;
                // A hung-up line reports so at once; while no host has it open
                // it is looked at only now and then.
                if (pty && (hostPresent || now >= lookAgainAt)) {
                    fds[1].fd = pty->master();
                    fds[1].events = static_cast<short>(POLLIN | (outputBlocked ? POLLOUT : 0));
                }
                wait = toTimespec(waitFrom(now));
            }
            // A signal only ends the wait early: the loop looks round and waits anew.
            const int r = ::ppoll(fds, 2, &wait, nullptr);
            if (r < 0 && errno != EINTR) {
                const int e = errno;
                {
                    std::lock_guard lock(m);
                    fail(std::string("waiting on the line failed: ") + std::strerror(e));
                }
                platform::interruptibleSleep(kLongestWait, stop);
                continue;
            }
            std::lock_guard lock(m);
            if (fds[0].revents & POLLIN) {
                std::uint64_t count = 0;
                [[maybe_unused]] const auto n =
                    platform::retryEintr([&] { return ::read(wakeFd.get(), &count, sizeof count); });
            }
            if (gen != generation || fds[1].fd < 0 || r < 0)
                continue;
            const auto now = BoardClock::now();
            const short ev = fds[1].revents;
            if (ev & POLLOUT)
                outputBlocked = false;
            if (!(ev & (POLLHUP | POLLERR)))
                hostPresent = true;
            if (ev & POLLIN)
                readLine(now);
            else if (ev & (POLLHUP | POLLERR))
                hostGone(now);
        }
    } catch (const std::exception& e) {
        std::lock_guard lock(m);
        fail(std::string("board thread stopped: ") + e.what());
    } catch (...) {
        std::lock_guard lock(m);
        fail("board thread stopped by an unknown exception");
    }
}

std::unique_ptr<PseudoTerminal> SimulatedBoard::Impl::newLine(std::string* err)
{
    auto line = PseudoTerminal::open(err);
    if (!line) {
        *err = "cannot make a pseudo-terminal: " + *err;
        return nullptr;
    }
    // The peer speaks first, so it must know when a host is there to hear it.
    if (peer && !line->hangUpUntilOpened(err))
        return nullptr;
    hostPresent = !peer;
    return line;
}

} // namespace plovex::sim
