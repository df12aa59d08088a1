#include "tests/cli/TestBoard.h"

#include <stdexcept>

namespace clitest {

namespace {
plovex::sim::BoardOptions withLink(plovex::sim::BoardOptions options, const std::filesystem::path& dir)
{
    options.linkPath = (dir / "board").string();
    options.publish = false;
    return options;
}
} // namespace

TestBoard::TestBoard(plovex::sim::BoardOptions options) : board_(withLink(std::move(options), dir_.path()))
{
    if (!board_.start())
        throw std::runtime_error("simulated board did not start: " + board_.error());
}

std::vector<plovex::sim::ReceivedFrame> TestBoard::waitFrames(plovex::sim::FrameKind kind, std::size_t count,
                                                              std::chrono::milliseconds timeout)
{
    testsupport::waitFor([&] { return board_.frames(kind).size() >= count; }, timeout);
    return board_.frames(kind);
}

std::string missingPort()
{
    return "/nonexistent-plovex-folder/ttyMissing0";
}

} // namespace clitest
