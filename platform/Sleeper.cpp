#include "platform/Sleeper.h"

#include <condition_variable>
#include <mutex>
#include <thread>

namespace platform {

bool interruptibleSleep(std::chrono::nanoseconds duration, std::stop_token stop)
{
    if (stop.stop_requested())
        return false;
    if (duration <= std::chrono::nanoseconds::zero())
        return true;
    std::mutex m;
    std::condition_variable_any cv;
    std::unique_lock lock(m);
    // Nothing notifies cv: the wait ends at the timeout or at a stop request.
    cv.wait_for(lock, stop, duration, [] { return false; });
    return !stop.stop_requested();
}

bool ScaledSleeper::sleepFor(double seconds, std::stop_token stop)
{
    const auto d = std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::duration<double>(seconds * factor_));
    // A pause as short as the loops' 0.001 s is slept through in one call: a
    // stop waits that little, and the pause, taken hundreds of times a
    // second, costs one system call instead of a wait and a wake.
    if (d <= kUninterruptedPause) {
        if (stop.stop_requested())
            return false;
        std::this_thread::sleep_for(d);
        return !stop.stop_requested();
    }
    return interruptibleSleep(d, stop);
}

std::shared_ptr<Sleeper> realSleeper()
{
    static auto s = std::make_shared<ScaledSleeper>(1.0);
    return s;
}

} // namespace platform
