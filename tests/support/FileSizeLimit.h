#pragma once
// A file size limit (RLIMIT_FSIZE) for the test's process while it lives,
// standing in for a disk that fills: a write that crosses it goes out in
// part, the next fails with EFBIG ("File too large") instead of raising
// SIGXFSZ. The limit is the whole process's: only for a test whose process
// writes no other file meanwhile.

#include <csignal>
#include <gtest/gtest.h>
#include <sys/resource.h>

namespace testsupport {

class FileSizeLimit {
public:
    FileSizeLimit()
    {
        ::getrlimit(RLIMIT_FSIZE, &old_);
        struct sigaction ignore {};
        ignore.sa_handler = SIG_IGN;
        ::sigaction(SIGXFSZ, &ignore, &oldSignal_);
    }
    ~FileSizeLimit()
    {
        ::setrlimit(RLIMIT_FSIZE, &old_);
        ::sigaction(SIGXFSZ, &oldSignal_, nullptr);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

    // No file may grow past bytes (RLIM_INFINITY: as before).
    void set(rlim_t bytes)
    {
        rlimit r = old_;
        r.rlim_cur = bytes == RLIM_INFINITY ? old_.rlim_cur : bytes;
        ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &r), 0);
    }

private:
    rlimit old_{};
    struct sigaction oldSignal_ {};
};

} // namespace testsupport
