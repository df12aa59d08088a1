#include "platform/Sleeper.h"

#include <condition_variable>
#include <mutex>

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
    const auto d = std::chrono::duration<double>(seconds * factor_);
    return interruptibleSleep(std::chrono::duration_cast<std::chrono::nanoseconds>(d), stop);
}

std::shared_ptr<Sleeper> realSleeper()
{
    static auto s = std::make_shared<ScaledSleeper>(1.0);
    return s;
}

} // namespace platform
