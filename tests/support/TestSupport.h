#pragma once
// Small helpers shared by the test suites.

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace testsupport {

using Bytes = std::vector<std::uint8_t>;

// A fresh folder under the system's temp folder, removed with its contents at the end.
class TempDir {
public:
    TempDir();
    ~TempDir() { std::filesystem::remove_all(path_, ec_); }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

private:
    std::filesystem::path path_;
    std::error_code ec_;
};

// Sets an environment variable for the scope.
class ScopedEnv {
public:
    ScopedEnv(std::string name, const std::string& value);
    ~ScopedEnv();

private:
    std::string name_;
    std::optional<std::string> old_;
};

// A device path in a folder that does not exist.
inline const std::string kMissingPort = "/nonexistent-plovex-folder/ttyMissing0";

// A TCP port free on 127.0.0.1 now, for a server a test starts.
int freeLoopbackPort();

// Number of descriptors this process holds open now.
int openDescriptorCount();
// Polls cond every few milliseconds until it holds or timeout passes.
bool waitFor(const std::function<bool()>& cond, std::chrono::milliseconds timeout = std::chrono::seconds(30));
// Waits until another thread of this process is blocked taking m, as a
// thread is that comes to a lock the test holds; false after timeout.
bool waitUntilLockAwaited(const std::mutex& m, std::chrono::milliseconds timeout = std::chrono::seconds(30));
// Whole file as a string ("" when it cannot be read).
std::string readFile(const std::filesystem::path& p);
void writeFile(const std::filesystem::path& p, const std::string& content);

// Captures what is written to standard output (descriptor 1) until finish().
class CaptureStdout {
public:
    CaptureStdout();
    ~CaptureStdout() { finish(); }
    std::string finish();

private:
    int saved_;
    std::filesystem::path file_;
};

// The lines of a text, without their newlines.
std::vector<std::string> lines(const std::string& text);
// The cells of a CSV line whose cells hold no comma.
std::vector<std::string> cells(const std::string& line);

// Whether text holds part.
inline bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

} // namespace testsupport
