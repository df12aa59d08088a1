#pragma once
// The far end of a pseudo-terminal, driven by a test byte by byte: what the
// host writes can be read back exactly, and replies are written on cue.

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

namespace testsupport {

class PtyPeer {
public:
    PtyPeer();  // a fresh pty; the slave is left unconfigured for the host to set up
    ~PtyPeer(); // closes the master (the host then sees the device gone)
    PtyPeer(const PtyPeer&) = delete;
    PtyPeer& operator=(const PtyPeer&) = delete;

    const std::string& slavePath() const { return slavePath_; }
    int masterFd() const { return master_; }

    void write(const std::vector<uint8_t>& bytes);
    // Reads until count bytes arrived or timeout passed; returns what arrived.
    std::vector<uint8_t> read(std::size_t count, std::chrono::milliseconds timeout);
    // Everything that arrives within the window.
    std::vector<uint8_t> drain(std::chrono::milliseconds window);
    // Closes the master now: unplugs the device.
    void hangUp();

private:
    int master_ = -1;
    std::string slavePath_;
};

} // namespace testsupport
