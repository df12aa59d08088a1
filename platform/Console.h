#pragma once
// The console channel: the one way the code below the command line and the
// window speaks to the user by itself. Two kinds of text go through it:
//   - console lines: port set-up errors, port discovery, the upload's frame
//     dump; on standard output unless redirected;
//   - log entries: the diagnostic loop's bytes and what goes wrong on a thread
//     that no caller watches; one line each on standard error, with the date,
//     the time and program[pid] in front (platform/Log.h writes them).
// Failures a caller acts on are values, not console text.
//
// Where the text goes is the caller's choice, at two reaches:
//   - the whole process: setConsoleStream (lines), setLogSink (entries),
//     for threads the caller does not run itself (the acquisition loop);
//   - what the calling thread writes within a scope: ConsoleRedirect, which
//     leaves the lines of every other thread where they were going.
//
//   platform::ConsoleRedirect quiet(platform::quietConsoleLines());
//   listPorts(...);   // its "Port Name:" lines are dropped, this thread only

#include <cstdio>
#include <functional>
#include <string>

namespace platform {

enum class ConsoleKind {
    Line,     // a console line, newline included
    LogEntry, // a log entry's message, without prefix and newline
};

// A destination for the channel's text.
using ConsoleSink = std::function<void(ConsoleKind kind, const std::string& text)>;

// Writes text to the calling thread's innermost redirect, or else where the
// process sends that kind. Safe from any thread; a line is written whole and
// flushed at once.
void consoleWrite(ConsoleKind kind, const std::string& text);
// A console line, as it stands.
inline void consoleWrite(const std::string& line) { consoleWrite(ConsoleKind::Line, line); }
// printf-style form of consoleWrite(line).
void consolePrintf(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Where the process's console lines go from now on (null: standard output).
void setConsoleStream(std::FILE* stream);
// Where the process's log entries go from now on (the message without
// prefix); an empty sink restores standard error.
void setLogSink(std::function<void(const std::string&)> sink);

// Sends what the calling thread writes to the channel to sink for as long as
// it lives. Redirects nest; each is undone by its own end, in reverse order.
class ConsoleRedirect {
public:
    explicit ConsoleRedirect(ConsoleSink sink);
    ~ConsoleRedirect();
    ConsoleRedirect(const ConsoleRedirect&) = delete;
    ConsoleRedirect& operator=(const ConsoleRedirect&) = delete;

private:
    friend void consoleWrite(ConsoleKind, const std::string&);
    ConsoleSink sink_;
    ConsoleRedirect* outer_;
};

// Sinks for a redirect. Console lines to stream, flushed each; log entries
// go on where the process sends them.
ConsoleSink consoleLinesTo(std::FILE* stream);
// Console lines dropped; log entries go on where the process sends them.
ConsoleSink quietConsoleLines();

} // namespace platform
