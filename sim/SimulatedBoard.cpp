#include "sim/SimulatedBoard.h"

#include "sim/SimulatedBoardImpl.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <sys/eventfd.h>

namespace plovex::sim {

SimulatedBoard::SimulatedBoard(BoardOptions options) : impl_(std::make_unique<Impl>(std::move(options))) {}

SimulatedBoard::~SimulatedBoard()
{
    stop();
}

bool SimulatedBoard::start()
{
    auto& d = *impl_;
    std::lock_guard lock(d.m);
    if (d.started) {
        d.error = "the board was started before";
        return false;
    }
    std::string err;
    if (!d.links.prepare(d.options.linkPath, d.options.publish, &err)) {
        d.error = err;
        return false;
    }
    d.pty = d.newLine(&err);
    if (!d.pty) {
        d.links.release();
        d.error = err;
        return false;
    }
    if (!d.links.point(d.pty->slavePath(), &err)) {
        d.links.release();
        d.pty.reset();
        d.error = err;
        return false;
    }
    d.wakeFd.reset(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK));
    if (!d.wakeFd) {
        d.error = std::string("eventfd failed: ") + std::strerror(errno);
        d.links.release();
        d.pty.reset();
        return false;
    }
    d.started = true;
    d.thread = std::jthread([&d](std::stop_token stop) { d.run(stop); });
    return true;
}

void SimulatedBoard::stop()
{
    auto& d = *impl_;
    if (d.thread.joinable()) {
        d.thread.request_stop();
        d.wake();
        d.thread.join();
    }
    std::lock_guard lock(d.m);
    d.core.endUpload();
    d.links.release();
    d.pty.reset();
    d.pacer.clear();
    d.wakeFd.reset();
}

bool SimulatedBoard::running() const
{
    std::lock_guard lock(impl_->m);
    return impl_->started && impl_->wakeFd;
}

std::string SimulatedBoard::linkPath() const
{
    std::lock_guard lock(impl_->m);
    return impl_->links.stablePath();
}

std::string SimulatedBoard::publishedLinkPath() const
{
    std::lock_guard lock(impl_->m);
    return impl_->links.publishedPath();
}

std::string SimulatedBoard::displayName() const
{
    std::lock_guard lock(impl_->m);
    const auto& p = impl_->links.publishedPath();
    return p.empty() ? impl_->links.displayName() : p.substr(p.find_last_of('/') + 1);
}

std::string SimulatedBoard::slavePath() const
{
    std::lock_guard lock(impl_->m);
    return impl_->pty ? impl_->pty->slavePath() : std::string();
}

std::string SimulatedBoard::error() const
{
    std::lock_guard lock(impl_->m);
    return impl_->error.empty() ? impl_->core.lastError() : impl_->error;
}

std::vector<ReceivedFrame> SimulatedBoard::frames() const
{
    std::lock_guard lock(impl_->m);
    const auto& f = impl_->core.frames();
    return std::vector<ReceivedFrame>(f.begin(), f.end());
}

std::vector<ReceivedFrame> SimulatedBoard::frames(FrameKind kind) const
{
    std::lock_guard lock(impl_->m);
    std::vector<ReceivedFrame> out;
    for (const auto& f : impl_->core.frames())
        if (f.kind == kind)
            out.push_back(f);
    return out;
}

void SimulatedBoard::clearFrames()
{
    std::lock_guard lock(impl_->m);
    impl_->core.clearFrames();
}

BoardCounters SimulatedBoard::counters() const
{
    std::lock_guard lock(impl_->m);
    return impl_->core.counters();
}

std::int16_t SimulatedBoard::eeprom(int address) const
{
    std::lock_guard lock(impl_->m);
    return impl_->core.eeprom().get(address);
}

void SimulatedBoard::setEeprom(int address, std::int16_t value)
{
    std::lock_guard lock(impl_->m);
    impl_->core.eeprom().set(address, value);
}

std::vector<std::uint8_t> SimulatedBoard::image() const
{
    std::lock_guard lock(impl_->m);
    return impl_->core.image();
}

void SimulatedBoard::injectStrayBytes(std::vector<std::uint8_t> bytes)
{
    std::lock_guard lock(impl_->m);
    impl_->core.faults().injectStray(bytes);
}

void SimulatedBoard::dropReplyBytes(std::size_t count, std::size_t offset)
{
    std::lock_guard lock(impl_->m);
    impl_->core.faults().dropBytes(count, offset);
}

void SimulatedBoard::flipReplyByte(std::size_t offset, std::uint8_t mask)
{
    std::lock_guard lock(impl_->m);
    impl_->core.faults().flipByte(offset, mask);
}

void SimulatedBoard::setStrayBeforeReplies(std::size_t n)
{
    std::lock_guard lock(impl_->m);
    impl_->core.faults().setStrayBeforeEach(n);
}

void SimulatedBoard::setReplyCut(std::optional<std::size_t> n)
{
    std::lock_guard lock(impl_->m);
    impl_->core.faults().setReplyCut(n);
}

void SimulatedBoard::floodNoise(std::chrono::milliseconds duration)
{
    std::lock_guard lock(impl_->m);
    const auto now = BoardClock::now();
    impl_->core.floodNoise(now, duration);
    impl_->noiseNextAt = now;
    impl_->wake();
}

void SimulatedBoard::setSilent(bool silent)
{
    std::lock_guard lock(impl_->m);
    impl_->core.setSilent(silent);
}

void SimulatedBoard::setSlowBoard(std::chrono::milliseconds perByte)
{
    std::lock_guard lock(impl_->m);
    impl_->slow = std::max(perByte, std::chrono::milliseconds(0));
    impl_->wake();
}

void SimulatedBoard::setPaced(bool paced)
{
    std::lock_guard lock(impl_->m);
    impl_->paced = paced;
    impl_->wake();
}

void SimulatedBoard::clearFaults()
{
    std::lock_guard lock(impl_->m);
    impl_->core.faults().clear();
    impl_->core.floodNoise(BoardClock::now(), std::chrono::milliseconds(0));
    impl_->core.setSilent(false);
    impl_->slow = std::chrono::milliseconds(0);
    impl_->wake();
}

bool SimulatedBoard::unplug()
{
    auto& d = *impl_;
    std::lock_guard lock(d.m);
    if (!d.started)
        return false;
    if (!d.pty)
        return true;
    d.links.remove(); // first, so that a host that notices finds no stale link
    d.pty.reset();
    d.pacer.clear();
    d.outputBlocked = false;
    d.core.lineLost();
    if (d.peer)
        d.peer->lineLost();
    ++d.generation;
    ++d.core.counters().unplugs;
    d.wake();
    return true;
}

bool SimulatedBoard::replug()
{
    auto& d = *impl_;
    std::lock_guard lock(d.m);
    if (!d.started || !d.wakeFd) {
        d.error = "the board is not running";
        return false;
    }
    if (d.pty)
        return true;
    std::string err;
    auto pty = d.newLine(&err);
    if (!pty) {
        d.error = err;
        return false;
    }
    if (!d.links.point(pty->slavePath(), &err)) {
        d.error = err;
        return false;
    }
    d.pty = std::move(pty);
    ++d.generation;
    ++d.core.counters().replugs;
    d.wake();
    return true;
}

bool SimulatedBoard::pluggedIn() const
{
    std::lock_guard lock(impl_->m);
    return impl_->pty != nullptr;
}

} // namespace plovex::sim
