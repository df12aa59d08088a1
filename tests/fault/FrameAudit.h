#pragma once
// Checks delivered measurement records against the frames the simulated
// board sent. The board's n-th answered poll carries the n-th measurement of
// its motion, which depends only on the seed, so the whole sequence is known
// in advance and every undisturbed frame can be checked value for value.

#include "tests/link/LinkTestSupport.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace faulttest {

// The nine measured values in frame order.
using Values = std::array<std::int16_t, 9>;

// The first n frames' values a board with this seed sends.
std::vector<Values> boardFrames(std::uint64_t seed, std::size_t n);
// The 21 bytes of the board's n-th frame (0-based).
std::array<std::uint8_t, 21> boardFrameBytes(std::uint64_t seed, std::size_t n);
// The values a receiver decodes from data bytes 1..18 of a 21-byte frame.
Values decodeFrame(const std::array<std::uint8_t, 21>& frame);

Values valuesOf(const platform::Record& r);
// The values of the delivered measurement records (commState 1), in order.
std::vector<Values> deliveredFrames(const std::vector<linktest::Delivered>& delivered);

struct FrameAudit {
    std::size_t exact = 0;         // delivered records equal to the board's frames, in order
    std::vector<std::size_t> lost; // numbers of board frames skipped before the last exact one
    std::vector<Values> foreign;   // delivered records that are no frame of the board
    std::size_t unread = 0;        // frames the board answered after the last exact one
};

// Walks the delivered records against the first `answered` board frames.
FrameAudit auditFrames(const std::vector<Values>& delivered, std::uint64_t seed, std::size_t answered);

// packetCount over every delivered measurement record (link-down ones
// included) must run 0, 1, 2, ... with no gap: "" when it does, else where not.
std::string packetCountGaps(const std::vector<linktest::Delivered>& delivered);

std::string describe(const FrameAudit& a);

} // namespace faulttest
