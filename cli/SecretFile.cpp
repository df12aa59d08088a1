#include "cli/SecretFile.h"

#include "platform/UniqueFd.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace plovex::cli {

namespace {

constexpr off_t kLargestFile = 64 * 1024;

} // namespace

bool readSecretFile(const std::string& path, const std::string& what, std::string& secret, std::string* error)
{
    auto fail = [&](const std::string& why) {
        *error = "cannot read " + what + " " + path + ": " + why;
        return false;
    };
    // Not blocking: opening a FIFO to read would wait for a writer.
    platform::UniqueFd fd(platform::retryEintr([&] { return ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY); }));
    if (!fd)
        return fail(std::strerror(errno));
    struct stat st{};
    if (::fstat(fd.get(), &st) != 0)
        return fail(std::strerror(errno));
    if (!S_ISREG(st.st_mode))
        return fail("it is not a regular file");
    if (st.st_size > kLargestFile)
        return fail("it is larger than 64 KiB");
    std::string text(static_cast<std::size_t>(st.st_size), '\0');
    std::size_t got = 0;
    while (got < text.size()) {
        const ssize_t n = platform::retryEintr([&] { return ::read(fd.get(), text.data() + got, text.size() - got); });
        if (n < 0)
            return fail(std::strerror(errno));
        if (n == 0)
            break;
        got += static_cast<std::size_t>(n);
    }
    text.resize(got);
    secret = text.substr(0, text.find('\n'));
    if (!secret.empty() && secret.back() == '\r')
        secret.pop_back();
    if (secret.empty()) {
        *error = what + " " + path + " has nothing on its first line";
        return false;
    }
    return true;
}

} // namespace plovex::cli
