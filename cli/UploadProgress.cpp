#include "cli/UploadProgress.h"

#include <cmath>
#include <cstdio>
#include <sys/types.h>

namespace plovex::cli {

namespace {

constexpr std::size_t kBarWidth = 30;
constexpr double kSecondsPerFrame = 0.25;

ssize_t writeThrough(void* cookie, const char* data, std::size_t size)
{
    static_cast<UploadProgress*>(cookie)->clear();
    const std::size_t n = std::fwrite(data, 1, size, stdout);
    std::fflush(stdout);
    return n == 0 && size != 0 ? -1 : static_cast<ssize_t>(n);
}

} // namespace

UploadProgress::UploadProgress(std::FILE* out) : out_(out)
{
    cookie_io_functions_t io{};
    io.write = writeThrough;
    console_ = ::fopencookie(this, "w", io);
    if (console_)
        std::setvbuf(console_, nullptr, _IONBF, 0);
}

UploadProgress::~UploadProgress()
{
    clear();
    if (console_)
        std::fclose(console_);
}

std::string UploadProgress::render(std::size_t done, std::size_t frames)
{
    if (frames == 0)
        frames = 1;
    if (done > frames)
        done = frames;
    const std::size_t filled = done * kBarWidth / frames;
    std::string bar = "[";
    for (std::size_t i = 0; i < kBarWidth; ++i)
        bar += i < filled ? "\u2588" : "\u2591";
    // The pause after the frame just sent is still to come, and one for each frame after it.
    const double left = static_cast<double>(frames - done + 1) * kSecondsPerFrame;
    char tail[64];
    if (left < 60.0) {
        std::snprintf(tail, sizeof tail, "] %3zu%%  %.2f s left", done * 100 / frames, left);
    } else {
        const long whole = std::lround(std::ceil(left));
        std::snprintf(tail, sizeof tail, "] %3zu%%  %ld:%02ld min left", done * 100 / frames, whole / 60, whole % 60);
    }
    return bar + tail;
}

void UploadProgress::frameSent(std::size_t imageSize)
{
    // An image of n bytes goes out as n / 64 + 1 frames; each call follows one of them.
    const std::size_t frames = imageSize / 64 + 1;
    ++done_;
    std::fprintf(out_, "\r\033[K%s", render(done_, frames).c_str());
    std::fflush(out_);
    shown_ = true;
}

void UploadProgress::clear()
{
    if (!shown_)
        return;
    std::fputs("\r\033[K", out_);
    std::fflush(out_);
    shown_ = false;
}

} // namespace plovex::cli
