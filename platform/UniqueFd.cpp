#include "platform/UniqueFd.h"

#include <unistd.h>

namespace platform {

void UniqueFd::reset(int fd) noexcept
{
    const int old = std::exchange(fd_, fd < 0 ? -1 : fd);
    if (old >= 0) {
        const int saved = errno;
        // Not retried on EINTR: on Linux the descriptor is released even then.
        ::close(old);
        errno = saved;
    }
}

} // namespace platform
