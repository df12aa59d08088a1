#include "cli/StopSignals.h"

#include <atomic>

namespace plovex::cli {

namespace {

// The kernel hands a process's signal to any of its threads that does not
// block it, often the link's: the flag is read on the main thread, so it is
// an atomic (lock-free, so safe in a handler), not a volatile sig_atomic_t,
// which is safe only within one thread.
std::atomic<bool> stopRequested{false};
static_assert(std::atomic<bool>::is_always_lock_free);

extern "C" void onStopSignal(int)
{
    stopRequested.store(true, std::memory_order_relaxed);
}

} // namespace

StopSignals::StopSignals()
{
    stopRequested.store(false, std::memory_order_relaxed);
    struct sigaction sa {};
    sa.sa_handler = onStopSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    sigaction(SIGINT, &sa, &oldInt_);
    sigaction(SIGTERM, &sa, &oldTerm_);
}

StopSignals::~StopSignals()
{
    sigaction(SIGINT, &oldInt_, nullptr);
    sigaction(SIGTERM, &oldTerm_, nullptr);
}

bool StopSignals::requested()
{
    return stopRequested.load(std::memory_order_relaxed);
}

} // namespace plovex::cli
