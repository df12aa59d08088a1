#pragma once
// Small helpers shared by the test suites.

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace testsupport {

using Bytes = std::vector<std::uint8_t>;

// A fresh folder under the system's temp folder, removed with its contents at the end.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

private:
    std::filesystem::path path_;
};

// Sets (or, with nullopt, unsets) an environment variable for the scope.
class ScopedEnv {
public:
    ScopedEnv(std::string name, std::optional<std::string> value);
    ~ScopedEnv();

private:
    std::string name_;
    std::optional<std::string> old_;
};

// A device path in a folder that does not exist.
inline const std::string kMissingPort = "/nonexistent-plovex-folder/ttyMissing0";

// Number of descriptors this process holds open now.
int openDescriptorCount();

// Polls cond every few milliseconds until it holds or timeout passes.
bool waitFor(const std::function<bool()>& cond, std::chrono::milliseconds timeout = std::chrono::seconds(5));

// Whole file as a string ("" when it cannot be read).
std::string readFile(const std::filesystem::path& p);
void writeFile(const std::filesystem::path& p, const std::string& content);

// Captures what is written to standard output (fd 1) for the scope.
class CaptureStdout {
public:
    CaptureStdout();
    ~CaptureStdout();
    // Stops capturing and returns the text (also done by the destructor).
    std::string finish();

private:
    int saved_ = -1;
    std::filesystem::path file_;
    bool done_ = false;
    std::string text_;
};

} // namespace testsupport
