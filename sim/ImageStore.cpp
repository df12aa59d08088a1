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

std::optional<std::string> writeFileAtomically(const std::filesystem::path& path, std::span<const std::uint8_t> bytes)
{
    const auto folder = path.has_parent_path() ? path.parent_path() : std::filesystem::path(".");
    // Appended piece by piece: GCC 12 at -O3 takes "literal" + std::string
    // for an overlapping copy (-Wrestrict).
    std::string name = ".";
    name += path.filename().native();
    name += ".XXXXXX";
    std::string tmpl = (folder / name).string();
    platform::UniqueFd fd(platform::retryEintr([&] { return ::mkostemp(tmpl.data(), O_CLOEXEC); }));
    if (!fd)
        return path.string() + ": cannot create a temporary file beside it: " + std::strerror(errno);
    std::size_t done = 0;
    std::string error;
    while (done < bytes.size()) {
        const ssize_t n =
            platform::retryEintr([&] { return ::write(fd.get(), bytes.data() + done, bytes.size() - done); });
        if (n <= 0) {
            error = path.string() + ": write failed: " + std::strerror(errno);
            break;
        }
        done += static_cast<std::size_t>(n);
    }
    if (error.empty() && ::fchmod(fd.get(), 0644) != 0)
        error = path.string() + ": " + std::strerror(errno);
    if (error.empty() && platform::retryEintr([&] { return ::fsync(fd.get()); }) != 0)
        error = path.string() + ": fsync failed: " + std::strerror(errno);
    // Closed by hand: a failed close can mean the data never reached the disk.
    if (::close(fd.release()) != 0 && error.empty())
        error = path.string() + ": close failed: " + std::strerror(errno);
    if (error.empty() && ::rename(tmpl.c_str(), path.c_str()) != 0)
        error = path.string() + ": " + std::strerror(errno);
    if (!error.empty()) {
        ::unlink(tmpl.c_str());
        return error;
    }
    return std::nullopt;
}

} // namespace plovex::sim
