#pragma once
// One owner for each file descriptor, and one retry rule for system calls
// that a signal can interrupt.
//
//   platform::UniqueFd fd(platform::retryEintr([&] { return ::open(path, O_RDONLY | O_CLOEXEC); }));
//   if (!fd) return fail(errno);
//   ... fd.get() ...            // closed when fd goes

#include <cerrno>
#include <utility>

namespace platform {

// Calls f until it returns anything but -1 with errno EINTR; returns its result.
template <typename F>
auto retryEintr(F&& f) -> decltype(f())
{
    for (;;) {
        auto r = f();
        if (!(r == -1 && errno == EINTR))
            return r;
    }
}

// Owns a descriptor (or none: -1) and closes it when it goes.
class UniqueFd {
public:
    UniqueFd() = default;
    explicit UniqueFd(int fd) noexcept : fd_(fd < 0 ? -1 : fd) {}
    ~UniqueFd() { reset(); }
    UniqueFd(UniqueFd&& other) noexcept : fd_(other.release()) {}
    UniqueFd& operator=(UniqueFd&& other) noexcept
    {
        if (this != &other)
            reset(other.release());
        return *this;
    }
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;

    int get() const noexcept { return fd_; }
    explicit operator bool() const noexcept { return fd_ >= 0; }
    // Gives up ownership without closing.
    int release() noexcept { return std::exchange(fd_, -1); }
    // Closes what it holds (keeping errno as it was) and takes fd.
    void reset(int fd = -1) noexcept;

private:
    int fd_ = -1;
};

} // namespace platform
