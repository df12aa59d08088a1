#pragma once
// The link's console lines (port set-up errors, the upload's frame dump).
// They go to standard output unless a tool that keeps standard output for
// data sends them elsewhere.

#include <cstdio>
#include <string>

namespace plovex {

// Writes text as it stands and flushes. Safe from any thread.
void consoleWrite(const std::string& text);
// printf-style form of consoleWrite.
void consolePrintf(const char* format, ...) __attribute__((format(printf, 1, 2)));
// Where console lines go from now on (stdout by default).
void setConsoleStream(std::FILE* stream);

} // namespace plovex
