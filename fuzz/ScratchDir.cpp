#include "fuzz/ScratchDir.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <string>
#include <system_error>
#include <unistd.h>

namespace plovex::fuzz {

namespace {

namespace fs = std::filesystem;

constexpr std::string_view kPrefix = "plovex-fuzz-";

// A fuzz program ended by a finding exits without running destructors; the
// folder it leaves (named after its process id) goes when the next one starts.
void removeLeftovers(const fs::path& base)
{
    std::error_code ec;
    for (fs::directory_iterator it(base, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (name.rfind(kPrefix, 0) != 0)
            continue;
        const long pid = std::strtol(name.c_str() + kPrefix.size(), nullptr, 10);
        if (pid > 0 && ::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH) {
            std::error_code ignored;
            fs::remove_all(it->path(), ignored);
        }
    }
}

fs::path makeScratch()
{
    std::error_code ec;
    fs::path base = "/dev/shm";
    if (!fs::is_directory(base, ec) || ::access(base.c_str(), W_OK) != 0)
        base = fs::temp_directory_path();
    removeLeftovers(base);
    std::string tmpl = (base / (std::string(kPrefix) + std::to_string(::getpid()) + "-XXXXXX")).string();
    if (!::mkdtemp(tmpl.data()))
        throw std::runtime_error("cannot make a scratch folder under " + base.string() + ": " + std::strerror(errno));
    return tmpl;
}

struct Scratch {
    fs::path path = makeScratch();
    ~Scratch()
    {
        std::error_code ec;
        fs::remove_all(path, ec);
    }
};

} // namespace

const fs::path& scratchDir()
{
    static const Scratch scratch;
    return scratch.path;
}

} // namespace plovex::fuzz
