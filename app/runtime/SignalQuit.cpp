#include "app/runtime/SignalQuit.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace plovex {

namespace {

// The pipe's write end as the handler sees it; -1 while no handler is installed.
std::atomic<int> signalWriteFd{-1};
static_assert(std::atomic<int>::is_always_lock_free, "the signal handler reads it");

// Only async-signal-safe calls here: the loop does the rest.
void onSignal(int signo)
{
    const int saved = errno;
    const char byte = static_cast<char>(signo);
    [[maybe_unused]] const ssize_t n = ::write(signalWriteFd.load(), &byte, 1);
    errno = saved;
}

void setHandler(void (*handler)(int))
{
    struct sigaction sa{};
    sa.sa_handler = handler;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = handler == SIG_DFL ? 0 : SA_RESTART;
    ::sigaction(SIGINT, &sa, nullptr);
    ::sigaction(SIGTERM, &sa, nullptr);
}

} // namespace

SignalQuit::SignalQuit()
{
    int ends[2] = {-1, -1};
    if (::pipe2(ends, O_CLOEXEC | O_NONBLOCK) != 0) {
        error_ = std::string("signal pipe: ") + std::strerror(errno);
        return;
    }
    readEnd_.reset(ends[0]);
    writeEnd_.reset(ends[1]);
    notifier_ = new QSocketNotifier(readEnd_.get(), QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, [this] {
        char buf[16];
        while (platform::retryEintr([&] { return ::read(readEnd_.get(), buf, sizeof buf); }) > 0) {
        }
        QCoreApplication::quit();
    });
    signalWriteFd.store(writeEnd_.get());
    setHandler(onSignal);
}

SignalQuit::~SignalQuit()
{
    setHandler(SIG_DFL);
    signalWriteFd.store(-1);
    delete notifier_;
    notifier_ = nullptr;
    // The pipe's ends close as the members go.
}

} // namespace plovex
