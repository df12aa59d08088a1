#include "tests/fault/FaultRig.h"

#include "platform/Sleeper.h"

namespace faulttest {

void Timeline::add(Event::Kind kind)
{
    std::lock_guard lock(mutex_);
    Event e{kind, 0, Clock::now()};
    if (kind == Event::HandOver)
        e.handOver = handOvers_++;
    events_.push_back(e);
}

std::size_t Timeline::mark()
{
    std::lock_guard lock(mutex_);
    events_.push_back({Event::Mark, 0, Clock::now()});
    return events_.size() - 1;
}

std::vector<Event> Timeline::events() const
{
    std::lock_guard lock(mutex_);
    return events_;
}

std::size_t Timeline::handOvers() const
{
    std::lock_guard lock(mutex_);
    return handOvers_;
}

void LoggingSink::handOver(const char* name, platform::RecordPtr record)
{
    timeline_.add(Event::HandOver);
    inner_.handOver(name, std::move(record));
}

bool LoopClock::sleepFor(double seconds, std::stop_token stop)
{
    const bool isLong = seconds >= 0.5;
    timeline_.add(isLong ? Event::LongPause : Event::ShortPause);
    {
        std::unique_lock lock(mutex_);
        ++pauses_;
        if (stepping_) {
            waiting_ = true;
            changed_.notify_all();
            const bool go = changed_.wait(lock, stop, [this] { return permits_ > 0 || !stepping_; });
            waiting_ = false;
            if (!go)
                return false;
            if (stepping_) {
                --permits_;
                lock.unlock();
                timeline_.add(Event::Resume);
                return true; // the wait was the pause
            }
        } else if (isLong && holdLong_) {
            holdLong_ = false;
            held_ = true;
            changed_.notify_all();
            if (!changed_.wait(lock, stop, [this] { return !held_; }))
                return false;
        } else {
            changed_.notify_all();
        }
    }
    const double scaled = isLong ? seconds * longFactor_ : seconds;
    if (!platform::interruptibleSleep(
            std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::duration<double>(scaled)), stop))
        return false;
    timeline_.add(Event::Resume);
    return true;
}

void LoopClock::setStepping(bool on)
{
    std::lock_guard lock(mutex_);
    stepping_ = on;
    permits_ = 0;
    changed_.notify_all();
}

bool LoopClock::cycles(int n, std::chrono::milliseconds timeout)
{
    std::unique_lock lock(mutex_);
    const std::size_t target = pauses_ + static_cast<std::size_t>(n);
    permits_ += n;
    changed_.notify_all();
    return changed_.wait_for(lock, timeout, [&] { return pauses_ >= target && waiting_ && permits_ == 0; });
}

bool LoopClock::waitPaused(std::chrono::milliseconds timeout)
{
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, timeout, [this] { return pauses_ > 0 && (!stepping_ || waiting_); });
}

std::size_t LoopClock::pauses() const
{
    std::lock_guard lock(mutex_);
    return pauses_;
}

int LoopClock::nextCycle() const
{
    std::lock_guard lock(mutex_);
    // Pause 1 is the start pause; the cycle after pause k is the loop's
    // (k-1)-th, and its counter runs 0..1001 and then starts again.
    return pauses_ == 0 ? 0 : static_cast<int>((pauses_ - 1) % 1002);
}

void LoopClock::holdNextLongPause()
{
    std::lock_guard lock(mutex_);
    holdLong_ = true;
}

bool LoopClock::waitHeld(std::chrono::milliseconds timeout)
{
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, timeout, [this] { return held_; });
}

void LoopClock::releaseHeld()
{
    std::lock_guard lock(mutex_);
    held_ = false;
    holdLong_ = false;
    changed_.notify_all();
}

namespace {

plovex::sim::BoardOptions boardOptions(const RigOptions& o, const testsupport::TempDir& dir)
{
    plovex::sim::BoardOptions b;
    b.linkPath = (dir / "board").string();
    b.publish = false;
    b.paced = o.paced;
    b.seed = o.seed;
    return b;
}

} // namespace

Rig::Rig(RigOptions o)
    : options(o), board(boardOptions(o, dir)), clock(std::make_shared<LoopClock>(timeline, o.longFactor))
{
}

Rig::~Rig()
{
    if (clock)
        clock->setStepping(false);
    port.reset();
    board.stop();
}

std::string Rig::start()
{
    if (!board.start())
        return "the board did not start: " + board.error();
    clock->setStepping(true); // the start pause waits until the port is open
    auto o = main.options(plovex::LoopKind::Acquisition, clock, options.lineTimeoutDeciseconds);
    o.sink = &handOver;
    port = std::make_unique<plovex::commPort>(o);
    port->setCommPortPath(board.linkPath());
    port->setBaudRate(38400);
    if (!clock->waitPaused())
        return "the loop never reached its start pause";
    if (port->OpenPort() < 0)
        return "OpenPort failed on " + board.linkPath();
    if (!options.stepping)
        clock->setStepping(false);
    return "";
}

void Rig::deliver()
{
    // Hand-overs logged so far may still be on their way into the loop's queue.
    const std::size_t n = timeline.handOvers();
    main.loop.runUntil([&] { return main.delivered.size() >= n; }, 10s);
}

bool Rig::deliverUntil(std::size_t from, const std::function<bool(const linktest::Delivered&)>& pred,
                       std::chrono::milliseconds timeout)
{
    std::size_t seen = from;
    return main.loop.runUntil(
        [&] {
            for (; seen < main.delivered.size(); ++seen)
                if (pred(main.delivered[seen]))
                    return true;
            return false;
        },
        timeout);
}

bool isMeasurement(const linktest::Delivered& d)
{
    return d.name == "inclinoData" && d.record->intValue("commState") == 1;
}

bool isLinkDown(const linktest::Delivered& d)
{
    return d.name == "inclinoData" && d.record->intValue("commState") == 0;
}

bool isParameter(const linktest::Delivered& d)
{
    return d.name == "inclinoParameter";
}

} // namespace faulttest
