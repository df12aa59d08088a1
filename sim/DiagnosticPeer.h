#pragma once
// Diagnostic-peer mode: the board plays the requesting side of the diagnostic
// exchange and scores the host's replies.
//
// It sends the five requests in turn (0x0E; 0x28 and 2 bytes; 0x29 and 6
// bytes whose 4th and 5th, counting the code as byte 0, are the value v;
// 0xF0; 0xF1), each request in one write, each after 0 to 3 noise bytes in a
// write of their own (noise never holds one of the five codes). It waits for
// the reply (or replyTimeout), compares it with what the host must answer,
//   0x0E -> 0E 02 37 00 11 00 00 00 36 02 A7
//   0x28 -> 28 00 11 00 35 00 6F
//   0x29 -> 29 vh vl 00 34 sh sl, s = (v + 0x5D) mod 65536
//   0xF0 -> F0 00 05 00 F5
//   0xF1 -> F0 00 06 00 F6
// counts it correct, wrong (different or incomplete) or unanswered, records
// it as a DiagReply frame, and sends the next request after pause. Bytes that
// come while no reply is awaited, or beyond a reply's length, are counted as
// unexpected. The first two values of v are 0xFFC0 (the sum wraps) and 0x1234.
// Requests go out unpaced (a request is one write), and only while a host
// has the line open; a reply awaited when the host closes the line is given
// up without a score.

#include "sim/BoardCore.h"
#include "sim/Random.h"

#include <chrono>
#include <optional>
#include <vector>

namespace plovex::sim {

struct PeerTimings {
    std::chrono::milliseconds replyTimeout{1500};
    std::chrono::milliseconds pause{2};
};

class DiagnosticPeer {
public:
    // Counts and records into board.
    DiagnosticPeer(std::uint64_t seed, PeerTimings timings, BoardCore& board);

    // The writes of the next request (noise, then the request) when one is
    // due at now; nothing while a reply is awaited or the pause runs.
    std::vector<std::vector<std::uint8_t>> due(BoardClock::time_point now);
    // The request could not be written: it is not counted and goes out again.
    void sendFailed();

    void receive(std::span<const std::uint8_t> bytes, BoardClock::time_point now);
    // Scores a reply that did not come in time.
    void tick(BoardClock::time_point now);
    std::optional<BoardClock::time_point> nextDeadline() const;
    // The line went away: a reply awaited is given up without a score.
    void lineLost();

    // The reply the host must give to request (code and further bytes).
    static std::vector<std::uint8_t> expectedReply(const std::vector<std::uint8_t>& request);

private:
    void score(BoardClock::time_point now);
    std::uint8_t noiseByte();

    PeerTimings timings_;
    BoardCore& board_;
    Random random_;
    std::size_t nextCode_ = 0;
    std::uint64_t vCount_ = 0;
    bool awaiting_ = false;
    std::vector<std::uint8_t> request_, expected_, got_;
    BoardClock::time_point deadline_{}, nextAt_{};
};

} // namespace plovex::sim
