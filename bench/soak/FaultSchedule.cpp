#include "bench/soak/FaultSchedule.h"

namespace soak {

using namespace std::chrono_literals;

const char* faultName(Fault f)
{
    switch (f) {
    case Fault::Stray: return "stray bytes";
    case Fault::StrayHeader: return "stray with 0xEE";
    case Fault::Drop: return "dropped byte";
    case Fault::Flip: return "flipped byte";
    case Fault::Flood: return "noise flood";
    case Fault::Silence: return "silence";
    case Fault::Unplug: return "unplug/replug";
    case Fault::Slow: return "slow board";
    case Fault::Write: return "EEPROM write";
    case Fault::Reset: return "port reset";
    case Fault::Count: break;
    }
    return "?";
}

const char* faultKey(Fault f)
{
    switch (f) {
    case Fault::Stray: return "stray";
    case Fault::StrayHeader: return "stray-header";
    case Fault::Drop: return "drop";
    case Fault::Flip: return "flip";
    case Fault::Flood: return "flood";
    case Fault::Silence: return "silence";
    case Fault::Unplug: return "unplug";
    case Fault::Slow: return "slow";
    case Fault::Write: return "write";
    case Fault::Reset: return "reset";
    case Fault::Count: break;
    }
    return "?";
}

FaultSchedule::FaultSchedule(plovex::sim::SimulatedBoard& board, plovex::commPort& port, std::uint64_t seed,
                             std::chrono::milliseconds interval, std::vector<Fault> kinds)
    : board_(board), port_(port), random_(seed), interval_(interval), nextFault_(Clock::now() + interval),
      kinds_(std::move(kinds))
{
    if (kinds_.empty())
        for (int i = 0; i < static_cast<int>(Fault::Count); ++i)
            kinds_.push_back(static_cast<Fault>(i));
}

void FaultSchedule::tick(Clock::time_point now)
{
    if (unplugged_ && now >= replugAt_ && board_.replug())
        unplugged_ = false;
    if (silent_ && now >= speakAt_) {
        board_.setSilent(false);
        silent_ = false;
    }
    if (slow_ && now >= quickenAt_) {
        board_.setSlowBoard(0ms);
        slow_ = false;
    }
    if (now < nextFault_)
        return;
    nextFault_ = now + interval_;
    apply(kinds_[turn_++ % kinds_.size()], now);
}

void FaultSchedule::apply(Fault f, Clock::time_point now)
{
    auto pick = [&](int lo, int hi) { return static_cast<int>(lo + random_() % static_cast<unsigned>(hi - lo + 1)); };
    auto noise = [&](std::size_t n) {
        std::vector<std::uint8_t> b(n);
        for (auto& x : b)
            while ((x = static_cast<std::uint8_t>(random_())) == 0xEE) {
            }
        return b;
    };
    switch (f) {
    case Fault::Stray:
        board_.injectStrayBytes(noise(static_cast<std::size_t>(pick(1, 40))));
        break;
    case Fault::StrayHeader: {
        auto b = noise(static_cast<std::size_t>(pick(2, 12)));
        b[static_cast<std::size_t>(pick(0, static_cast<int>(b.size()) - 1))] = 0xEE;
        board_.injectStrayBytes(b);
        break;
    }
    case Fault::Drop:
        board_.dropReplyBytes(1, static_cast<std::size_t>(pick(0, 20)));
        break;
    case Fault::Flip:
        board_.flipReplyByte(static_cast<std::size_t>(pick(0, 20)), static_cast<std::uint8_t>(pick(1, 255)));
        break;
    case Fault::Flood:
        board_.floodNoise(std::chrono::milliseconds(pick(100, 400)));
        break;
    case Fault::Silence:
        board_.setSilent(true);
        silent_ = true;
        speakAt_ = now + std::chrono::milliseconds(pick(300, 1500));
        break;
    case Fault::Unplug:
        if (board_.unplug()) {
            unplugged_ = true;
            replugAt_ = now + std::chrono::milliseconds(pick(200, 1500));
        }
        break;
    case Fault::Slow:
        board_.setSlowBoard(5ms);
        slow_ = true;
        quickenAt_ = now + std::chrono::milliseconds(pick(300, 1000));
        break;
    case Fault::Write: {
        const bool open = port_.portOpenOK() == 1;
        const auto t0 = Clock::now();
        port_.writeEEPROM(200, static_cast<std::int16_t>(writesIssued));
        const std::chrono::duration<double> took = Clock::now() - t0;
        if (took > longestWrite)
            longestWrite = took;
        if (open)
            ++writesIssued;
        break;
    }
    case Fault::Reset:
        port_.reset();
        break;
    case Fault::Count:
        return;
    }
    ++applied[static_cast<std::size_t>(f)];
}

void FaultSchedule::finish()
{
    board_.clearFaults();
    silent_ = slow_ = false;
    if (unplugged_ && board_.replug())
        unplugged_ = false;
}

} // namespace soak
