#include "sim/ImageStore.h"

#include "platform/UniqueFd.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace plovex::sim {

void ImageStore::store(std::uint16_t address, std::span<const std::uint8_t> block)
{
    if (!uploading_) {
        bytes_.clear();
        lastBlock_ = 0;
        uploading_ = true;
    }
    const std::size_t start = address;
    const std::size_t n = std::min(block.size(), kMaxImage - start);
    if (bytes_.size() < start + n)
        bytes_.resize(start + n, 0);
    std::copy_n(block.begin(), n, bytes_.begin() + static_cast<std::ptrdiff_t>(start));
    lastBlock_ = std::max(lastBlock_, start);
}

bool ImageStore::finish()
{
    const bool was = uploading_;
    uploading_ = false;
    return was;
}

std::vector<std::uint8_t> ImageStore::image() const
{
    std::size_t end = bytes_.size();
    while (end > lastBlock_ && bytes_[end - 1] == 0)
        --end;
    return std::vector<std::uint8_t>(bytes_.begin(), bytes_.begin() + static_cast<std::ptrdiff_t>(end));
}

bool writeFileAtomically(const std::filesystem::path& path, std::span<const std::uint8_t> bytes, std::string* error)
{
    auto fail = [&](std::string why) {
        if (error)
            *error = std::move(why);
        return false;
    };
    const auto folder = path.has_parent_path() ? path.parent_path() : std::filesystem::path(".");
    // Appended piece by piece: GCC 12 at -O3 takes "literal" + std::string
    // for an overlapping copy (-Wrestrict).
    std::string name = ".";
    name += path.filename().native();
    name += ".XXXXXX";
    std::string tmpl = (folder / name).string();
    platform::UniqueFd fd(platform::retryEintr([&] { return ::mkostemp(tmpl.data(), O_CLOEXEC); }));
    if (!fd)
        return fail(path.string() + ": cannot create a temporary file beside it: " + std::strerror(errno));
    std::size_t done = 0;
    std::string problem;
    while (done < bytes.size()) {
        const ssize_t n =
            platform::retryEintr([&] { return ::write(fd.get(), bytes.data() + done, bytes.size() - done); });
        if (n <= 0) {
            problem = path.string() + ": write failed: " + std::strerror(errno);
            break;
        }
        done += static_cast<std::size_t>(n);
    }
    if (problem.empty() && ::fchmod(fd.get(), 0644) != 0)
        problem = path.string() + ": " + std::strerror(errno);
    if (problem.empty() && platform::retryEintr([&] { return ::fsync(fd.get()); }) != 0)
        problem = path.string() + ": fsync failed: " + std::strerror(errno);
    // Closed by hand: a failed close can mean the data never reached the disk.
    if (::close(fd.release()) != 0 && problem.empty())
        problem = path.string() + ": close failed: " + std::strerror(errno);
    if (problem.empty() && ::rename(tmpl.c_str(), path.c_str()) != 0)
        problem = path.string() + ": " + std::strerror(errno);
    if (!problem.empty()) {
        ::unlink(tmpl.c_str());
        return fail(std::move(problem));
    }
    return true;
}

} // namespace plovex::sim
