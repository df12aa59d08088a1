#pragma once
// What the board does with what it hears, without any I/O: it parses the
// host's bytes, answers polls and EEPROM reads, applies good EEPROM writes,
// keeps uploaded images, reboots, and records every frame. The caller feeds
// received bytes with the time they arrived and sends what comes back.
//
// Timing rules (BoardTimings):
// - A frame whose next byte is frameGap late or more is cut short: it is
//   recorded as a Cut frame, counted as malformed and never acted on.
// - An upload ends when uploadEndIdle passes without a further good block,
//   or at a reboot frame; the image file (if any) is written then.
// - A good reboot frame makes the board deaf and mute for rebootSilence:
//   bytes heard then are counted and ignored, replies not yet sent are lost.
// - While silent or flooding noise, the board hears and acts on every frame
//   but sends no reply (counted as withheld); the motion advances only with
//   answered polls, so the n-th measurement a host receives depends on the
//   seed alone.

#include "sim/BoardRecord.h"
#include "sim/Eeprom.h"
#include "sim/FrameParser.h"
#include "sim/ImageStore.h"
#include "sim/Motion.h"
#include "sim/ReplyFaults.h"

#include <bitset>
#include <chrono>
#include <deque>
#include <filesystem>
#include <optional>
#include <span>
#include <vector>

namespace plovex::sim {

using BoardClock = std::chrono::steady_clock;

struct BoardTimings {
    std::chrono::milliseconds frameGap{100};
    std::chrono::milliseconds uploadEndIdle{1000};
    std::chrono::milliseconds rebootSilence{500};
};

class BoardCore {
public:
    BoardCore(std::uint64_t seed, BoardTimings timings, std::size_t frameLogLimit);

    // Where a finished upload is written (empty: nowhere).
    void setImageOut(std::filesystem::path path) { imageOut_ = std::move(path); }

    // Bytes heard at now. Replies to send are appended to out.
    void receive(std::span<const std::uint8_t> bytes, BoardClock::time_point now, std::vector<std::uint8_t>& out);
    // Time passes: cuts a stalled frame, ends an upload, ends a reboot or a flood.
    void tick(BoardClock::time_point now);
    // The next time tick() has something to do.
    std::optional<BoardClock::time_point> nextDeadline() const;
    // True once after a reboot began: replies queued but not yet sent are to be dropped.
    bool takeFlushRequest();
    // The line went away (unplug): a frame in progress is forgotten.
    void lineLost() { parser_.reset(); }
    // Ends an upload in progress now (the board stops).
    void endUpload();

    bool rebooting(BoardClock::time_point now) const { return now < rebootUntil_; }
    // Writes to a read-only address are heard and counted but change nothing,
    // as on a board whose EEPROM cell is worn out or locked.
    void setReadOnly(int address) { readOnly_.set(static_cast<std::size_t>(address & 0xFF)); }
    void setSilent(bool on) { silent_ = on; }
    bool silent() const { return silent_; }
    // Noise instead of replies until now + duration (zero ends a flood).
    void floodNoise(BoardClock::time_point now, std::chrono::milliseconds duration) { floodUntil_ = now + duration; }
    bool flooding(BoardClock::time_point now) const { return now < floodUntil_; }
    // Appends n noise bytes: any value but 0xEE.
    void appendNoise(std::size_t n, std::vector<std::uint8_t>& out);

    // How the sensor moves from the next poll on (Motion.h).
    void setMotion(const MotionPlan& plan) { motion_.setPlan(plan); }

    ReplyFaults& faults() { return faults_; }
    BoardCounters& counters() { return counters_; }
    const BoardCounters& counters() const { return counters_; }
    const std::deque<ReceivedFrame>& frames() const { return frames_; }
    // Adds a frame to the list (the oldest is forgotten when the list is full).
    void recordFrame(ReceivedFrame frame);
    void clearFrames() { frames_.clear(); }
    Eeprom& eeprom() { return eeprom_; }
    const Eeprom& eeprom() const { return eeprom_; }
    std::vector<std::uint8_t> image() const { return image_.image(); }
    const std::string& lastError() const { return lastError_; }

private:
    void handle(const ParsedFrame& f, BoardClock::time_point now, std::vector<std::uint8_t>& out);
    void reply(std::span<const std::uint8_t> bytes, std::vector<std::uint8_t>& out);
    bool withholding(BoardClock::time_point now) const { return silent_ || flooding(now); }
    void cutIfStalled(BoardClock::time_point now);

    BoardTimings timings_;
    std::size_t frameLogLimit_;
    FrameParser parser_;
    Motion motion_;
    Random noise_;
    Eeprom eeprom_;
    ImageStore image_;
    ReplyFaults faults_;
    BoardCounters counters_;
    std::deque<ReceivedFrame> frames_;
    std::filesystem::path imageOut_;
    std::string lastError_;
    BoardClock::time_point lastByteAt_{}, lastBlockAt_{}, rebootUntil_{}, floodUntil_{};
    std::bitset<Eeprom::kWords> readOnly_;
    bool silent_ = false;
    bool flushRequested_ = false;
};

} // namespace plovex::sim
