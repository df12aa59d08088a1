#include "platform/AtomicFile.h"

#include "platform/UniqueFd.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace platform {

bool writeFileAtomically(const std::filesystem::path& path, std::string_view data, mode_t mode, bool replace,
                         std::string* error)
{
    std::string tmpName = path.string() + ".XXXXXX";
    std::vector<char> name(tmpName.begin(), tmpName.end());
    name.push_back('\0');
    bool made = false;
    auto fail = [&](const char* step) {
        const int e = errno;
        if (error)
            *error = std::string(step) + ": " + std::strerror(e);
        if (made)
            ::unlink(name.data());
        errno = e;
        return false;
    };
    UniqueFd fd(retryEintr([&] { return ::mkostemp(name.data(), O_CLOEXEC); }));
    if (!fd)
        return fail("open");
    made = true;
    if (::fchmod(fd.get(), mode) != 0)
        return fail("chmod");
    std::size_t done = 0;
    while (done < data.size()) {
        const ssize_t n = retryEintr([&] { return ::write(fd.get(), data.data() + done, data.size() - done); });
        if (n < 0)
            return fail("write");
        done += static_cast<std::size_t>(n);
    }
    if (retryEintr([&] { return ::fsync(fd.get()); }) != 0)
        return fail("fsync");
    // Closed by hand: a failed close can mean the data never reached the disk.
    if (::close(fd.release()) != 0)
        return fail("close");
    if (replace) {
        if (::rename(name.data(), path.c_str()) != 0)
            return fail("rename");
        return true;
    }
    // The name is taken only where none exists, in one step: no other writer
    // can slip a file in between a test and the rename. A file system that
    // cannot rename so gets a hard link, which fails the same way.
    if (::renameat2(AT_FDCWD, name.data(), AT_FDCWD, path.c_str(), RENAME_NOREPLACE) == 0)
        return true;
    if (errno != EINVAL && errno != ENOSYS)
        return fail("rename");
    if (::link(name.data(), path.c_str()) != 0)
        return fail("link");
    ::unlink(name.data());
    return true;
}

} // namespace platform
