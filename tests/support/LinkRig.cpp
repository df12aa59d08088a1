#include "tests/support/LinkRig.h"

#include "link/Records.h"
#include "sim/Motion.h"

#include <stdexcept>

namespace testsupport {

MainSide::MainSide()
{
    loop.addIdleHandler([this] { queue.deliverWhenIdle(); });
    for (const char* name : {"inclinoData", "inclinoParameter"})
        center.addObserver(name, [this](const platform::Notification& n) { delivered.push_back({n.name, n.object}); });
}

plovex::commPortOptions MainSide::options(plovex::LoopKind kind, std::shared_ptr<platform::Sleeper> clock,
                                          int lineTimeoutDeciseconds)
{
    return {kind, &handOver, std::move(clock), lineTimeoutDeciseconds};
}

std::unique_ptr<plovex::commPort> MainSide::port(plovex::LoopKind kind, const std::string& path,
                                                 std::shared_ptr<platform::Sleeper> clock, int lineTimeoutDeciseconds)
{
    auto p = std::make_unique<plovex::commPort>(options(kind, std::move(clock), lineTimeoutDeciseconds));
    p->setCommPortPath(path);
    p->setBaudRate(38400);
    return p;
}

std::unique_ptr<plovex::commPort> MainSide::openLoop(plovex::LoopKind kind, const std::string& path,
                                                     std::shared_ptr<TestClock> clock, int lineTimeoutDeciseconds, bool held)
{
    clock->hold();
    auto p = port(kind, path, clock, lineTimeoutDeciseconds);
    if (!clock->parked() || p->OpenPort() < 0)
        throw std::runtime_error("the loop did not start on " + path);
    if (!held)
        clock->release();
    return p;
}

bool MainSide::runUntilNext(std::size_t from, bool (Delivered::*pred)() const, std::chrono::milliseconds timeout)
{
    return loop.runUntil(
        [&] {
            for (; from < delivered.size(); ++from)
                if ((delivered[from].*pred)())
                    return true;
            return false;
        },
        timeout);
}

std::vector<Delivered> MainSide::named(const std::string& name) const
{
    std::vector<Delivered> out;
    std::copy_if(delivered.begin(), delivered.end(), std::back_inserter(out), [&](const Delivered& d) { return d.name == name; });
    return out;
}

platform::RecordPtr measurement(int xKal, int yKal, int temp, int commState)
{
    return platform::makeRecord(plovex::records::measurementKeys(), {1, 2, 3, xKal, 5, 6, 7, yKal, temp, 42, commState});
}

platform::RecordPtr parameter(int paddress, int pdata)
{
    return plovex::records::parameterRecord(paddress, pdata);
}

Board::Board(plovex::sim::BoardOptions options)
    : board_((options.linkPath = (dir_ / "board").string(), options.publish = false, options)) // at our link only
{
    if (!board_.start())
        throw std::runtime_error("the simulated board did not start: " + board_.error());
}

std::vector<plovex::sim::ReceivedFrame> Board::frames(plovex::sim::FrameKind kind, std::size_t count)
{
    waitFor([&] { return board_.frames(kind).size() >= count; });
    return board_.frames(kind);
}

Values boardFrame(std::uint64_t seed, std::size_t n)
{
    plovex::sim::Motion motion(seed);
    for (std::size_t i = 0; i < n; ++i)
        motion.next();
    const auto m = motion.next();
    return {m.xGravityRaw, m.xGravityKal, m.xRaw, m.xKal, m.yGravityRaw, m.yGravityKal, m.yRaw, m.yKal, m.temp};
}

Values valuesOf(const Delivered& d)
{
    Values v{};
    for (std::size_t i = 0; i < v.size(); ++i)
        v[i] = d.record->intValue(plovex::records::measurementKeys()[i]);
    return v;
}

} // namespace testsupport
