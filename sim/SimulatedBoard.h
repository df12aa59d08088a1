#pragma once
// A simulated inclinometer board on a pseudo-terminal: the stand-in for the
// real hardware that every test of the host code runs against.
//
// The host opens linkPath() (a stable symbolic link to the current slave)
// like any serial device. The board answers polls and EEPROM reads, applies
// good EEPROM writes, keeps uploaded images and reboots (BoardCore.h has the
// rules and FrameParser.h what it accepts), records every frame and counts
// what it did. Faults can be switched on from any thread while it runs.
//
//   SimulatedBoard board({.linkPath = "/tmp/board", .paced = true});
//   if (!board.start()) fail(board.error());
//   open(board.linkPath()) ... ; board.counters().pollsAnswered ...
//
// All member functions are thread-safe, except that start() and stop() must
// not run at the same time as each other.

#include "sim/BoardCore.h"
#include "sim/BoardRecord.h"
#include "sim/DiagnosticPeer.h"

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace plovex::sim {

enum class BoardMode {
    Board,          // answers the host like the board
    DiagnosticPeer, // sends diagnostic requests and scores the host's replies (DiagnosticPeer.h)
};

struct BoardOptions {
    // The stable link to make; empty: one in the runtime folder, named
    // "plovex-sim-<pid>-<n>". See BoardLinks.h.
    std::string linkPath;
    // Also list the board in the runtime folder for port discovery (always
    // so when linkPath is empty).
    bool publish = true;
    // Send reply bytes at the line speed the host set: 10 bits a byte.
    bool paced = false;
    std::uint64_t seed = 1;
    // Where each finished upload is written (atomically); empty: nowhere.
    std::string imageOut;
    BoardMode mode = BoardMode::Board;
    // EEPROM addresses whose writes the board ignores.
    std::vector<int> readOnly;
    BoardTimings timings{};
    PeerTimings peer{};
    // Most frames kept in the list; the oldest go first.
    std::size_t frameLogLimit = 65536;
    // Faults from the start (see below): silent; stray bytes before every
    // reply; every reply cut after its first replyCut bytes.
    bool silent = false;
    std::size_t strayBeforeReplies = 0;
    std::optional<std::size_t> replyCut;
    // How the sensor moves: wandering (the default), held at a tilt, or
    // sweeping between two angles (Motion.h).
    MotionPlan motion;
};

class SimulatedBoard {
public:
    explicit SimulatedBoard(BoardOptions options = {});
    ~SimulatedBoard(); // stop()
    SimulatedBoard(const SimulatedBoard&) = delete;
    SimulatedBoard& operator=(const SimulatedBoard&) = delete;

    // Makes the pseudo-terminal and the links and starts the board's thread.
    // False on failure, with the reason in error(). Only once per object.
    bool start();
    // Stops the thread, ends an upload in progress (writing its image),
    // closes the line and removes the links. Safe to call more than once.
    void stop();
    bool running() const;

    // The path hosts open (stays the same across unplug and replug).
    std::string linkPath() const;
    // The link in the runtime folder that discovery lists (may equal linkPath()).
    std::string publishedLinkPath() const;
    // The board's name: the published link's base name.
    std::string displayName() const;
    // The current slave device, "" while unplugged.
    std::string slavePath() const;
    // The last failure (start, replug, image file), "" when none.
    std::string error() const;

    // What the board heard and did.
    std::vector<ReceivedFrame> frames() const;
    std::vector<ReceivedFrame> frames(FrameKind kind) const;
    void clearFrames();
    BoardCounters counters() const;
    std::int16_t eeprom(int address) const; // address & 0xFF
    void setEeprom(int address, std::int16_t value);
    // The image of the last (or the running) upload; ImageStore.h says how
    // its length is found.
    std::vector<std::uint8_t> image() const;

    // From the next poll on, the sensor moves as planned: held at a tilt, a
    // sweep started afresh, or wandering again.
    void setMotion(const MotionPlan& plan);

    // Faults. Reply faults act on the replies to polls and reads; they and
    // the flood apply in Board mode only.
    void injectStrayBytes(std::vector<std::uint8_t> bytes);  // before the next reply
    void dropReplyBytes(std::size_t count, std::size_t offset = 0);
    void flipReplyByte(std::size_t offset, std::uint8_t mask = 0xFF);
    // Lasting reply faults: n stray bytes before every reply (0: off); every
    // reply cut after its first n bytes (1: one byte, then silence; nullopt: off).
    void setStrayBeforeReplies(std::size_t n);
    void setReplyCut(std::optional<std::size_t> n);
    // Bytes without 0xEE at the line rate, in place of replies, for duration
    // (zero ends a flood early).
    void floodNoise(std::chrono::milliseconds duration);
    // A silent board hears and acts on frames but sends nothing.
    void setSilent(bool silent);
    // Each reply byte at least perByte after the one before (zero: off).
    void setSlowBoard(std::chrono::milliseconds perByte);
    void setPaced(bool paced);
    // Ends every fault above: pending reply faults, flood, silence, slowness.
    void clearFaults();
    // Closes the master and removes the links: the host's reads fail (EIO,
    // hang-up). True when unplugged (also when it already was).
    bool unplug();
    // A new pseudo-terminal behind the same links. True when plugged in
    // (also when it already was); false with error() on failure.
    bool replug();
    bool pluggedIn() const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

} // namespace plovex::sim
