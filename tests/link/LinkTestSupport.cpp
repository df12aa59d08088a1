#include "tests/link/LinkTestSupport.h"

#include <poll.h>
#include <unistd.h>

namespace linktest {

MainSide::MainSide()
{
    loop.addIdleHandler([this] { queue.deliverWhenIdle(); });
    for (const char* name : {"inclinoData", "inclinoParameter"})
        center.addObserver(name, [this](const platform::Notification& n) { delivered.push_back({n.name, n.object}); });
}

plovex::commPortOptions MainSide::options(plovex::LoopKind kind, std::shared_ptr<platform::Sleeper> sleeper,
                                          int lineTimeoutDeciseconds)
{
    plovex::commPortOptions o;
    o.loop = kind;
    o.sink = &handOver;
    o.sleeper = std::move(sleeper);
    o.lineTimeoutDeciseconds = lineTimeoutDeciseconds;
    return o;
}

bool MainSide::runUntilDelivered(std::size_t n, std::chrono::milliseconds timeout)
{
    return loop.runUntil([&] { return delivered.size() >= n; }, timeout);
}

std::vector<platform::RecordPtr> MainSide::recordsNamed(const std::string& name) const
{
    std::vector<platform::RecordPtr> out;
    for (const auto& d : delivered)
        if (d.name == name)
            out.push_back(d.record);
    return out;
}

void RecordingSleeper::releaseStart()
{
    {
        std::lock_guard lock(mutex_);
        held_ = false;
    }
    released_.notify_all();
}

bool RecordingSleeper::sleepFor(double seconds, std::stop_token stop)
{
    {
        std::unique_lock lock(mutex_);
        pauses_.push_back(seconds);
        if (!firstDone_) {
            firstDone_ = true;
            if (!released_.wait(lock, stop, [this] { return !held_; }))
                return false;
        }
    }
    if (onPause)
        onPause(seconds);
    return platform::interruptibleSleep(
        std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::duration<double>(seconds * factor_)), stop);
}

std::vector<double> RecordingSleeper::pauses() const
{
    std::lock_guard lock(mutex_);
    return pauses_;
}

ScriptedBoard::ScriptedBoard() : thread_([this](std::stop_token st) { run(st); }) {}

ScriptedBoard::~ScriptedBoard()
{
    thread_.request_stop();
    thread_.join();
}

std::array<int16_t, 9> ScriptedBoard::frameValues(int n)
{
    std::array<int16_t, 9> v{};
    for (int i = 0; i < 9; ++i)
        v[static_cast<std::size_t>(i)] = static_cast<int16_t>(1000 * i + n - 4000);
    return v;
}

std::vector<uint8_t> ScriptedBoard::received() const
{
    std::lock_guard lock(mutex_);
    return received_;
}

void ScriptedBoard::run(std::stop_token stop)
{
    int frames = 0;
    std::vector<uint8_t> pending;
    while (!stop.stop_requested()) {
        pollfd p{peer_.masterFd(), POLLIN, 0};
        const int r = ::poll(&p, 1, 20);
        if (r > 0 && !(p.revents & POLLIN))
            std::this_thread::sleep_for(std::chrono::milliseconds(5)); // no host on the line yet
        if (r <= 0 || !(p.revents & POLLIN))
            continue;
        uint8_t buf[64];
        const ssize_t n = ::read(peer_.masterFd(), buf, sizeof buf);
        if (n <= 0)
            continue;
        {
            std::lock_guard lock(mutex_);
            received_.insert(received_.end(), buf, buf + n);
        }
        pending.insert(pending.end(), buf, buf + n);
        while (!pending.empty()) {
            if (pending[0] == 0xEE) {
                pending.erase(pending.begin());
                if (silent)
                    continue;
                std::vector<uint8_t> f{0xEE};
                for (int16_t v : frameValues(frames)) {
                    f.push_back(static_cast<uint8_t>(static_cast<uint16_t>(v) >> 8));
                    f.push_back(static_cast<uint8_t>(v & 0xFF));
                }
                f.push_back(0x0D);
                f.push_back(0x0A);
                ++frames;
                peer_.write(f);
                ++pollsAnswered;
            } else if (pending[0] == 0x08) {
                if (pending.size() < 2)
                    break;
                const int address = pending[1];
                pending.erase(pending.begin(), pending.begin() + 2);
                if (silent)
                    continue;
                if (address == ignoreReadsAt && ignoreReadsCount > 0) {
                    --ignoreReadsCount;
                    continue;
                }
                const auto v = static_cast<uint16_t>(valueAt(address));
                peer_.write({static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v & 0xFF)});
                ++readsAnswered;
            } else {
                pending.erase(pending.begin()); // anything else is only recorded
            }
        }
    }
}

} // namespace linktest
