// Firmware upload and reboot: maintenance operations of the link.

#include "link/BoardFacts.h"
#include "link/LineIo.h"
#include "link/Protocol.h"
#include "link/commPort.h"
#include "platform/Console.h"
#include "platform/UniqueFd.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace plovex {

namespace {

constexpr off_t kLargestImage = board::kLargestImage;


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

bool commPort::sendProgram(const std::string& path, const std::function<void(std::size_t, std::size_t)>& progress,
                           std::string* error)
{
    auto uploadError = [&](const std::string& why) {
        if (error)
            *error = path + ": " + why;
        return false;
    };
    // The image is opened before the port lock is taken.
    platform::UniqueFd file(platform::retryEintr([&] { return ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK); }));
    if (!file)
        return uploadError(std::strerror(errno));
    struct stat st{};
    if (::fstat(file.get(), &st) == -1)
        return uploadError(std::strerror(errno));
    if (S_ISDIR(st.st_mode))
        return uploadError("is a folder, not an image file");
    if (!S_ISREG(st.st_mode))
        return uploadError("is not a regular file");
    if (st.st_size > kLargestImage)
        return uploadError(std::to_string(st.st_size) + " bytes is more than the " + std::to_string(kLargestImage) +
                           " bytes a 16-bit block address can reach");
    const auto total = static_cast<std::size_t>(st.st_size);

    std::lock_guard lock(serialPortLock);
    // Declared after the lock, so the image is closed before the lock is released.
    const platform::UniqueFd image = std::move(file);
    if (PortOpenOK.load(std::memory_order_acquire) == 0)
        return uploadError("the port is not open; nothing was sent");

    unsigned blockAddress = 0;
    std::size_t sent = 0;
    const std::stop_token stop = stopToken();
    auto brokeOff = [&](const std::string& why) {
        return uploadError(why + " after " + std::to_string(sent) + " of " + std::to_string(total) +
                           " bytes; the board holds an incomplete image");
    };
    for (;;) {
        uint8_t block[wire::kProgramBlockPayload];
        const ssize_t n = platform::retryEintr([&] { return ::read(image.get(), block, sizeof block); });
        if (n < 0)
            return brokeOff(std::string("reading the image failed (") + std::strerror(errno) + ")");
        const auto count = static_cast<std::size_t>(n);
        const auto frame = wire::programBlockFrame(static_cast<uint16_t>(blockAddress), block, count);
        platform::consoleWrite(blockLine(blockAddress, frame));
        blockAddress += 64;
        // A block that did not go out whole spoils the image: the upload ends.
        if (!sendLocked(frame.data(), frame.size())) {
            const int err = errno;
            if (!errnoMeansGone(err))
                return brokeOff(std::string("writing to the port failed (") + std::strerror(err) + ")");
            closeLocked();
            return brokeOff("the port went away");
        }
        sent += count;
        if (progress)
            progress(sent, total);
        if (!sleep(0.25, stop))
            return brokeOff("the upload was stopped");
        if (count != wire::kProgramBlockPayload)
            return true;
    }
}

} // namespace plovex
