#pragma once
// The far end of a pseudo-terminal, for a test to drive byte by byte: what
// the host writes is read back exactly, and replies are written on cue.

#include "tests/support/TestSupport.h"

namespace testsupport {

class PtyPeer {
public:
    PtyPeer(); // a fresh raw pty; the host opens slavePath()
    ~PtyPeer() { hangUp(); }
    PtyPeer(const PtyPeer&) = delete;
    PtyPeer& operator=(const PtyPeer&) = delete;

    const std::string& slavePath() const { return slavePath_; }
    int masterFd() const { return master_; }

    void write(const Bytes& bytes);
    // Reads until count bytes arrived or timeout passed; what arrived.
    Bytes read(std::size_t count, std::chrono::milliseconds timeout);
    // Everything that arrives within the window.
    Bytes drain(std::chrono::milliseconds window) { return read(SIZE_MAX, window); }
    // Opens the host side at descriptor number fd (one just closed), as
    // another device opened meanwhile would take it; the descriptor, or -1.
    int openHostAt(int fd) const;
    // Closes the master: the device is gone for the host.
    void hangUp();

private:
    int master_;
    std::string slavePath_;
};

} // namespace testsupport
