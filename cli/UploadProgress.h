#pragma once
// The upload's progress bar on a terminal: blocks, the percentage of frames
// sent, and the time left at the upload's pace of one frame every 0.25 s.
// It lives on one line of standard error and is redrawn after each frame.
// The link's console lines that go to standard output meanwhile are passed
// through consoleStream(), which takes the bar away before each line, so
// that on a shared terminal the lines and the bar never run into each other.

#include <cstddef>
#include <cstdio>
#include <string>

namespace plovex::cli {

class UploadProgress {
public:
    // out: where the bar is drawn (a terminal).
    explicit UploadProgress(std::FILE* out);
    ~UploadProgress();
    UploadProgress(const UploadProgress&) = delete;
    UploadProgress& operator=(const UploadProgress&) = delete;

    // After each frame, with the image's size in bytes. Frames are counted
    // by the calls, since the last frame may carry no image byte.
    void frameSent(std::size_t imageSize);
    // Takes the bar off its line (it is drawn again after the next frame).
    void clear();

    // A stream that writes to standard output, clearing the bar first; null
    // when it could not be made (then standard output is used as it is).
    std::FILE* consoleStream() const { return console_; }

    // The bar's text for frame `done` of `frames` (no line control characters).
    static std::string render(std::size_t done, std::size_t frames);

private:
    std::FILE* out_;
    std::FILE* console_ = nullptr;
    std::size_t done_ = 0; // frames sent so far
    bool shown_ = false;
};

} // namespace plovex::cli
