// The EEPROM read for callers that must not misread a value. A reply is two
// bare bytes: one stray byte before it, or one lost from it, shifts it and
// every later reply, and nothing in the bytes tells. So a reply counts only
// when it stood alone on the line (nothing more arrived for a while after
// it) and a second reply of the same address agrees with it; anything else
// is dropped, the address asked again, and in the end reported unreadable.

#include "link/Protocol.h"
#include "link/commPort.h"

#include <algorithm>
#include <optional>
#include <termios.h>

namespace plovex {

namespace {

using Clock = std::chrono::steady_clock;

// Requests per address at most, and how many of them may go unanswered (each
// of those costs the line's read timeout).
constexpr int kMostRequests = 6;
constexpr int kMostTimeouts = 3;
// The least quiet after a reply that makes it stand alone: a few byte times,
// and no less than a USB adapter's low-latency timer (1 ms) leaves between
// the packets of one burst.
constexpr long kQuietByteTimes = 8;
constexpr auto kLeastQuiet = std::chrono::milliseconds(2);

} // namespace

std::size_t commPort::dropUntilQuietLocked(std::chrono::nanoseconds quiet)
{
    std::size_t dropped = line_->received().buffered();
    line_->received().clear();
    const LineWait wait = lineWaitLocked();
    // A line that never falls quiet still gives the lock back.
    const auto giveUp = Clock::now() + wait.timeout;
    uint8_t sink[ReceiveBuffer::kCapacity];
    for (;;) {
        const std::size_t n = readPending(wait, sink, sizeof sink, quiet);
        counters_.received(n);
        dropped += n;
        if (n == 0 || Clock::now() >= giveUp)
            break;
    }
    if (line_)
        ::tcflush(line_->fd(), TCIFLUSH);
    return dropped;
}

VerifiedRead commPort::readEEPROMVerified(int address, int16_t& data)
{
    const auto request = wire::eepromReadRequest(address);
    std::lock_guard lock(serialPortLock);
    if (!PortOpenOK.load(std::memory_order_acquire))
        return VerifiedRead::LineClosed;

    const std::chrono::nanoseconds timeout = lineWaitLocked().timeout;
    std::chrono::nanoseconds quiet =
        std::min(std::max<std::chrono::nanoseconds>(line_->byteTime() * kQuietByteTimes, kLeastQuiet), timeout);
    // Whatever is on its way belongs to an earlier exchange.
    dropUntilQuietLocked(quiet);

    std::optional<int16_t> candidate; // the last reply that stood alone
    bool heard = false;
    int timeouts = 0;
    for (int i = 0; i < kMostRequests && timeouts < kMostTimeouts; ++i) {
        if (!sendLocked(request.data(), request.size())) {
            if (errnoMeansGone(errno))
                closeLocked();
            return VerifiedRead::LineClosed;
        }
        const auto sentAt = Clock::now();
        const auto replyComplete = replyCompleteLocked(2);
        uint8_t reply[2];
        std::size_t got = 0;
        LineStatus status = LineStatus::Data;
        while (got < sizeof reply && status == LineStatus::Data) {
            const LineRead r = readLocked(reply + got, sizeof reply - got, replyComplete);
            status = r.status;
            if (status == LineStatus::Data)
                got += r.count;
        }
        heard = heard || got > 0;
        if (status == LineStatus::Gone || status == LineStatus::Stopped || !line_)
            return VerifiedRead::LineClosed;
        if (got < sizeof reply) {
            // A read timed out (the line was silent that long) or failed: what
            // came of this reply is dropped.
            ++timeouts;
            line_->received().clear();
            ::tcflush(line_->fd(), TCIFLUSH);
            continue;
        }
        // A reply stands alone when nothing follows it for twice the time it
        // took to come (a slow board's bytes come as far apart), and at least
        // for a few byte times.
        quiet = std::clamp<std::chrono::nanoseconds>(2 * (Clock::now() - sentAt), quiet, timeout);
        if (dropUntilQuietLocked(quiet) > 0)
            continue;
        const int16_t value = wire::decode16(reply[0], reply[1]);
        if (candidate == value) {
            data = value;
            return VerifiedRead::Agreed;
        }
        candidate = value;
    }
    return heard ? VerifiedRead::Untrusted : VerifiedRead::NoAnswer;
}

} // namespace plovex
