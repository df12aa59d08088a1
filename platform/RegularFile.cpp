#include "platform/RegularFile.h"

#include "platform/UniqueFd.h"

#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

const char* kindOf(mode_t mode)
{
    if (S_ISDIR(mode))
        return "a folder";
    if (S_ISFIFO(mode))
        return "a FIFO";
    if (S_ISSOCK(mode))
        return "a socket";
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return "a device";
    return "no regular file";
}

std::optional<std::string> refuse(std::string* error, std::string why)
{
    if (error)
        *error = std::move(why);
    return std::nullopt;
}

} // namespace

std::optional<std::string> readRegularFile(const std::string& path, std::size_t maxSize, std::string* error)
{
    // O_NONBLOCK: opening a FIFO without a writer, or a device, would wait.
    const UniqueFd fd(retryEintr([&] { return ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY); }));
    if (!fd)
        return refuse(error, path + ": " + std::strerror(errno));
    struct stat st{};
    if (::fstat(fd.get(), &st) != 0)
        return refuse(error, path + ": " + std::strerror(errno));
    if (!S_ISREG(st.st_mode))
        return refuse(error, path + ": is " + kindOf(st.st_mode) + ", not a regular file");
    std::string text;
    char buf[4096];
    for (;;) {
        const ssize_t n = retryEintr([&] { return ::read(fd.get(), buf, sizeof buf); });
        if (n < 0)
            return refuse(error, path + ": " + std::strerror(errno));
        if (n == 0)
            return text;
        text.append(buf, static_cast<std::size_t>(n));
        if (text.size() > maxSize)
            return refuse(error, path + ": larger than " + std::to_string(maxSize) + " bytes");
    }
}

} // namespace platform
