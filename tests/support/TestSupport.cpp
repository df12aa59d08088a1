#include "tests/support/TestSupport.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <netinet/in.h>
#include <sstream>
#include <stdexcept>
#include <sys/syscall.h>
#include <thread>
#include <sys/socket.h>
#include <unistd.h>

namespace testsupport {

namespace fs = std::filesystem;

TempDir::TempDir()
{
    std::string name = (fs::temp_directory_path() / "plovex-test-XXXXXX").string();
    if (!::mkdtemp(name.data()))
        throw std::runtime_error("mkdtemp failed");
    path_ = name;
}

ScopedEnv::ScopedEnv(std::string name, const std::string& value) : name_(std::move(name))
{
    if (const char* v = std::getenv(name_.c_str()))
        old_ = v;
    ::setenv(name_.c_str(), value.c_str(), 1);
}

ScopedEnv::~ScopedEnv()
{
    old_ ? ::setenv(name_.c_str(), old_->c_str(), 1) : ::unsetenv(name_.c_str());
}

int openDescriptorCount()
{
    return static_cast<int>(std::distance(fs::directory_iterator("/proc/self/fd"), {})) - 1; // less the iterator's own
}

int freeLoopbackPort()
{
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    ::bind(fd, reinterpret_cast<sockaddr*>(&a), len);
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
    ::close(fd);
    return ntohs(a.sin_port);
}

bool waitFor(const std::function<bool()>& cond, std::chrono::milliseconds timeout)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!cond() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    return cond();
}

bool waitUntilLockAwaited(const std::mutex& m, std::chrono::milliseconds timeout)
{
    // A thread blocked on a mutex waits in futex() on the mutex's first word;
    // the kernel shows each thread's system call and its first argument.
    const auto word = reinterpret_cast<std::uintptr_t>(&m);
    return waitFor(
        [&] {
            std::error_code ec;
            for (const auto& task : fs::directory_iterator("/proc/self/task", ec)) {
                std::ifstream call(task.path() / "syscall");
                long number = -1;
                std::string first;
                if (call >> number >> first && number == SYS_futex && std::strtoull(first.c_str(), nullptr, 16) == word)
                    return true;
            }
            return false;
        },
        timeout);
}

std::string readFile(const fs::path& p)
{
    std::ostringstream s;
    s << std::ifstream(p, std::ios::binary).rdbuf();
    return s.str();
}

void writeFile(const fs::path& p, const std::string& content)
{
    std::ofstream(p, std::ios::binary | std::ios::trunc) << content;
}

CaptureStdout::CaptureStdout() : file_(fs::temp_directory_path() / ("plovex-stdout-" + std::to_string(::getpid())))
{
    std::fflush(stdout);
    saved_ = ::dup(1);
    std::freopen(file_.c_str(), "w", stdout);
}

std::string CaptureStdout::finish()
{
    if (saved_ < 0)
        return readFile(file_);
    std::fflush(stdout);
    ::dup2(saved_, 1);
    ::close(saved_);
    saved_ = -1;
    const std::string text = readFile(file_);
    fs::remove(file_);
    return text;
}

std::vector<std::string> lines(const std::string& text)
{
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        out.push_back(line);
    return out;
}

std::vector<std::string> cells(const std::string& line)
{
    std::vector<std::string> out;
    std::istringstream in(line);
    for (std::string cell; std::getline(in, cell, ',');)
        out.push_back(cell);
    if (!line.empty() && line.back() == ',')
        out.emplace_back();
    return out;
}

} // namespace testsupport
