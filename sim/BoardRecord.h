#pragma once
// What the simulated board keeps about the traffic it saw: every frame it
// parsed, byte for byte, and counters of what it did with them.

#include <cstdint>
#include <string>
#include <vector>

namespace plovex::sim {

enum class FrameKind {
    Poll,         // 0xEE
    ReadRequest,  // 0x08 address
    Write,        // 0x09 / 0x99, 0x71, address, value hi, value lo, 0xAA
    Reboot,       // 0x9B 0xA5
    ProgramBlock, // 0x9A 0x71 addr hi, addr lo, 64 bytes, checksum hi, lo
    Cut,          // the start of a frame that stopped for longer than the frame gap
    DiagReply,    // diagnostic-peer mode: a reply the host gave to one of our requests
};

const char* frameKindName(FrameKind kind);

struct ReceivedFrame {
    FrameKind kind = FrameKind::Poll;
    std::vector<std::uint8_t> bytes; // exactly as received
    bool accepted = true;            // false: not acted on (see problem)
    std::string problem;             // why it was refused, or what was wrong with a reply
};

struct BoardCounters {
    std::uint64_t bytesReceived = 0;
    std::uint64_t bytesSent = 0;
    std::uint64_t pollsAnswered = 0;
    std::uint64_t readsAnswered = 0;
    std::uint64_t repliesWithheld = 0; // polls and reads left unanswered: silent or flooding
    std::uint64_t writesApplied = 0;
    std::uint64_t writesIgnored = 0; // to read-only addresses
    std::uint64_t malformedFrames = 0; // wrong constant, wrong trailer, bad address rule, cut short
    std::uint64_t badChecksumBlocks = 0;
    std::uint64_t blocksAccepted = 0;
    std::uint64_t uploadsCompleted = 0;
    std::uint64_t reboots = 0;
    std::uint64_t strayBytes = 0;          // bytes between frames that start no frame
    std::uint64_t bytesWhileRebooting = 0; // heard while rebooting, and ignored
    std::uint64_t framesForgotten = 0;     // dropped from the front of a full frame list
    std::uint64_t hostHangUps = 0; // times the host closed the line (its unread bytes are dropped)
    std::uint64_t unplugs = 0;
    std::uint64_t replugs = 0;
    // Diagnostic-peer mode.
    std::uint64_t diagRequestsSent = 0;
    std::uint64_t diagCorrect = 0;
    std::uint64_t diagWrong = 0;
    std::uint64_t diagUnanswered = 0;
    std::uint64_t diagUnexpectedBytes = 0; // bytes from the host while no reply was awaited
};

} // namespace plovex::sim
