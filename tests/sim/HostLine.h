#pragma once
// The host side of the line for the board's tests: a plain raw termios
// client of the slave, written here so that nothing of link/ is involved.

#include <chrono>
#include <cstdint>
#include <string>
#include <termios.h>
#include <vector>

namespace simtest {

using Bytes = std::vector<std::uint8_t>;
using namespace std::chrono_literals;

class HostLine {
public:
    explicit HostLine(const std::string& path, speed_t speed = B38400);
    ~HostLine();
    HostLine(const HostLine&) = delete;
    HostLine& operator=(const HostLine&) = delete;

    bool ok() const { return fd_ >= 0; }
    int fd() const { return fd_; }
    const std::string& openError() const { return error_; }

    bool send(const Bytes& bytes);
    // Reads until n bytes are in or timeout passes; returns what came.
    Bytes read(std::size_t n, std::chrono::milliseconds timeout = 2000ms);
    // Everything that comes within window.
    Bytes readFor(std::chrono::milliseconds window);
    // Waits for the line to hang up: true when a read fails with EIO, returns
    // end of file, or poll reports POLLHUP/POLLERR.
    bool waitHangup(std::chrono::milliseconds timeout = 2000ms);

private:
    int fd_ = -1;
    std::string error_;
};

// The 21-byte reply to a poll, or what came within the timeout.
Bytes pollOnce(HostLine& host);
// Signed 16-bit value at offset (high byte first).
int value16(const Bytes& b, std::size_t offset);
// The six-byte EEPROM write frame as the host sends it.
Bytes writeFrame(int address, int value);
// A 70-byte program block with the right checksum.
Bytes programBlock(std::uint16_t address, const Bytes& data);

} // namespace simtest
