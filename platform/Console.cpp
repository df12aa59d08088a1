#include "platform/Console.h"

#include "platform/Log.h"

#include <atomic>
#include <cstdarg>
#include <memory>
#include <mutex>

namespace platform {

namespace {

std::atomic<std::FILE*> lineStream{nullptr};
std::mutex& entryMutex()
{
    static std::mutex m;
    return m;
}
std::function<void(const std::string&)>& entrySink()
{
    static std::function<void(const std::string&)> sink;
    return sink;
}
thread_local ConsoleRedirect* innermost = nullptr;

void writeFlushed(std::FILE* out, const std::string& text)
{
    // One call per line: stdio locks the stream for it, so lines of two
    // threads never interleave.
    std::fwrite(text.data(), 1, text.size(), out);
    std::fflush(out);
}

// Where the process sends text of kind.
void writeToProcess(ConsoleKind kind, const std::string& text)
{
    if (kind == ConsoleKind::Line) {
        std::FILE* out = lineStream.load();
        writeFlushed(out ? out : stdout, text);
        return;
    }
    // Entries are written one at a time, also into a sink of the caller's.
    std::lock_guard lock(entryMutex());
    if (auto& sink = entrySink()) {
        sink(text);
        return;
    }
    writeFlushed(stderr, logPrefix() + text + "\n");
}

} // namespace

void consoleWrite(ConsoleKind kind, const std::string& text)
{
    if (innermost)
        innermost->sink_(kind, text);
    else
        writeToProcess(kind, text);
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

void setConsoleStream(std::FILE* stream)
{
    lineStream.store(stream);
}

void setLogSink(std::function<void(const std::string&)> sink)
{
    std::lock_guard lock(entryMutex());
    entrySink() = std::move(sink);
}

ConsoleRedirect::ConsoleRedirect(ConsoleSink sink) : sink_(std::move(sink)), outer_(innermost)
{
    innermost = this;
}

ConsoleRedirect::~ConsoleRedirect()
{
    innermost = outer_;
}

ConsoleSink consoleLinesTo(std::FILE* stream)
{
    return [stream](ConsoleKind kind, const std::string& text) {
        if (kind == ConsoleKind::Line)
            writeFlushed(stream, text);
        else
            writeToProcess(kind, text);
    };
}

ConsoleSink quietConsoleLines()
{
    return [](ConsoleKind kind, const std::string& text) {
        if (kind == ConsoleKind::LogEntry)
            writeToProcess(kind, text);
    };
}

} // namespace platform
