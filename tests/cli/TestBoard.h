#pragma once
// A simulated board for one test, reached through a link in a folder of the
// test's own (not listed in the runtime folder).

#include "sim/SimulatedBoard.h"
#include "tests/support/TestSupport.h"

#include <chrono>
#include <string>
#include <vector>

namespace clitest {

class TestBoard {
public:
    // Starts the board; throws when it cannot start.
    explicit TestBoard(plovex::sim::BoardOptions options = {});

    plovex::sim::SimulatedBoard& operator*() { return board_; }
    plovex::sim::SimulatedBoard* operator->() { return &board_; }
    std::string path() const { return board_.linkPath(); }

    // Waits until the board has recorded count frames of kind, or timeout passed; returns those it has.
    std::vector<plovex::sim::ReceivedFrame> waitFrames(plovex::sim::FrameKind kind, std::size_t count,
                                                       std::chrono::milliseconds timeout = std::chrono::seconds(3));

private:
    testsupport::TempDir dir_;
    plovex::sim::SimulatedBoard board_;
};

// A path in a folder that does not exist.
std::string missingPort();

} // namespace clitest
