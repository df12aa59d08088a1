// Firmware upload and reboot: maintenance operations of the link.

#include "link/Console.h"
#include "link/Protocol.h"
#include "link/SerialLine.h"
#include "link/commPort.h"
#include "platform/UniqueFd.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace plovex {

namespace {

// The 16-bit block address cannot express a block at 65536: a larger image
// would wrap around and overwrite the start.
constexpr off_t kLargestImage = 65535;

bool uploadError(const std::string& path, const std::string& why)
{
    std::fprintf(stderr, "plovex: upload of %s: %s\n", path.c_str(), why.c_str());
    std::fflush(stderr);
    return false;
}

// One console line per block: the block address, then the 68 bytes before the checksum.
std::string blockLine(unsigned blockAddress, const wire::ProgramBlockFrame& frame)
{
    std::string line = std::to_string(blockAddress) + "  ";
    char hex[8];
    for (std::size_t i = 0; i < 68; ++i) {
        std::snprintf(hex, sizeof hex, "%X, ", frame[i]);
        line += hex;
    }
    line += '\n';
    return line;
}

} // namespace

bool commPort::sendProgram(const std::string& path, const std::function<void(std::size_t, std::size_t)>& progress)
{
    // The image is opened before the port lock is taken.
    platform::UniqueFd file(platform::retryEintr([&] { return ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK); }));
    if (!file)
        return uploadError(path, std::strerror(errno));
    struct stat st{};
    if (::fstat(file.get(), &st) == -1)
        return uploadError(path, std::strerror(errno));
    if (S_ISDIR(st.st_mode))
        return uploadError(path, "is a folder, not an image file");
    if (!S_ISREG(st.st_mode))
        return uploadError(path, "is not a regular file");
    if (st.st_size > kLargestImage)
        return uploadError(path, std::to_string(st.st_size) + " bytes is more than the " +
                                     std::to_string(kLargestImage) + " bytes a 16-bit block address can reach");
    const auto total = static_cast<std::size_t>(st.st_size);

    std::lock_guard lock(serialPortLock);
    // Declared after the lock, so the image is closed before the lock is released.
    const platform::UniqueFd image = std::move(file);
    if (PortOpenOK.load(std::memory_order_acquire) == 0)
        return uploadError(path, "the port is not open; nothing was sent");

    unsigned blockAddress = 0;
    std::size_t sent = 0;
    const std::stop_token stop = stopToken();
    for (;;) {
        uint8_t block[wire::kProgramBlockPayload];
        const ssize_t n = platform::retryEintr([&] { return ::read(image.get(), block, sizeof block); });
        if (n < 0)
            return uploadError(path, std::string("read failed after ") + std::to_string(sent) +
                                         " bytes: " + std::strerror(errno) + "; the upload is incomplete");
        const auto count = static_cast<std::size_t>(n);
        const auto frame = wire::programBlockFrame(static_cast<uint16_t>(blockAddress), block, count);
        consoleWrite(blockLine(blockAddress, frame));
        blockAddress += 64;
        if (!sendLocked(frame.data(), frame.size()) && errnoMeansGone(errno)) {
            closeLocked();
            return uploadError(path, "the port went away after " + std::to_string(sent) + " bytes");
        }
        sent += count;
        if (progress)
            progress(sent, total);
        if (!sleep(0.25, stop))
            return uploadError(path, "stopped after " + std::to_string(sent) + " bytes");
        if (count != wire::kProgramBlockPayload)
            return true;
    }
}

} // namespace plovex
