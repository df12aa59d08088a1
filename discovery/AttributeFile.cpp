#include "discovery/AttributeFile.h"

#include "platform/UniqueFd.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace plovex {

namespace {

bool isSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

} // namespace

std::optional<std::string> readAttributeFile(const std::filesystem::path& path, std::size_t maxBytes)
{
    const platform::UniqueFd fd(
        platform::retryEintr([&] { return ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC); }));
    if (!fd)
        return std::nullopt;
    struct stat st{};
    if (::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode))
        return std::nullopt;

    // One byte beyond the limit tells an oversized file from a full one.
    std::string content(maxBytes + 1, '\0');
    std::size_t got = 0;
    while (got < content.size()) {
        const ssize_t n =
            platform::retryEintr([&] { return ::read(fd.get(), content.data() + got, content.size() - got); });
        if (n < 0)
            return std::nullopt;
        if (n == 0)
            break;
        got += static_cast<std::size_t>(n);
    }
    if (got > maxBytes)
        return std::nullopt;
    content.resize(got);
    return content;
}

std::optional<long long> readAttributeInteger(const std::filesystem::path& path)
{
    const auto text = readAttributeFile(path, 64);
    if (!text)
        return std::nullopt;
    std::size_t begin = 0, end = text->size();
    while (begin < end && isSpace((*text)[begin]))
        ++begin;
    while (end > begin && isSpace((*text)[end - 1]))
        --end;
    if (begin == end)
        return std::nullopt;
    const std::string digits = text->substr(begin, end - begin);
    errno = 0;
    char* stop = nullptr;
    const long long value = std::strtoll(digits.c_str(), &stop, 10);
    if (errno == ERANGE || stop != digits.c_str() + digits.size())
        return std::nullopt;
    return value;
}

std::optional<std::filesystem::path> readLinkTarget(const std::filesystem::path& path)
{
    char buf[PATH_MAX];
    const ssize_t n = ::readlink(path.c_str(), buf, sizeof buf);
    if (n <= 0 || static_cast<std::size_t>(n) >= sizeof buf)
        return std::nullopt;
    return std::filesystem::path(std::string(buf, static_cast<std::size_t>(n)));
}

} // namespace plovex
