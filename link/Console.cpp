#include "link/Console.h"

#include <atomic>
#include <cstdarg>
#include <mutex>

namespace plovex {

namespace {
std::atomic<std::FILE*> consoleStream{nullptr};
std::mutex consoleMutex;
} // namespace

void setConsoleStream(std::FILE* stream)
{
    consoleStream.store(stream);
}

void consoleWrite(const std::string& text)
{
    std::lock_guard lock(consoleMutex);
    std::FILE* out = consoleStream.load();
    if (!out)
        out = stdout;
    std::fwrite(text.data(), 1, text.size(), out);
    std::fflush(out);
}

void consolePrintf(const char* format, ...)
{
    char small[512];
    va_list args;
    va_start(args, format);
    va_list copy;
    va_copy(copy, args);
    const int n = std::vsnprintf(small, sizeof small, format, args);
    va_end(args);
    if (n < 0) {
        va_end(copy);
        return;
    }
    if (static_cast<std::size_t>(n) < sizeof small) {
        va_end(copy);
        consoleWrite(std::string(small, static_cast<std::size_t>(n)));
        return;
    }
    std::string big(static_cast<std::size_t>(n) + 1, '\0');
    std::vsnprintf(big.data(), big.size(), format, copy);
    va_end(copy);
    big.resize(static_cast<std::size_t>(n));
    consoleWrite(big);
}

} // namespace plovex
