#include "fuzz/FuzzSupport.h"
#include "fuzz/FuzzTargets.h"

#include <array>
#include <cstdio>
#include <unistd.h>

namespace plovex::fuzz {

std::string hex(std::string_view bytes)
{
    std::string out;
    char b[4];
    for (const char c : bytes) {
        std::snprintf(b, sizeof b, "%02X ", static_cast<uint8_t>(c));
        out += b;
    }
    return out;
}

const std::filesystem::path& scratchDir()
{
    static const struct Scratch {
        std::filesystem::path path = std::filesystem::temp_directory_path() / ("plovex-fuzz-" + std::to_string(::getpid()));
        Scratch() { std::filesystem::create_directories(path); }
        ~Scratch()
        {
            std::error_code ec;
            std::filesystem::remove_all(path, ec);
        }
    } scratch;
    return scratch.path;
}

namespace {
constexpr std::array kTargets{
    FuzzTarget{"measurement_receiver", fuzzMeasurementReceiver}, FuzzTarget{"diagnostic_reply", fuzzDiagnosticReply},
    FuzzTarget{"preferences", fuzzPreferences},                   FuzzTarget{"uevent", fuzzUevent},
    FuzzTarget{"frame_parser", fuzzFrameParser},                  FuzzTarget{"board_core", fuzzBoardCore},
    FuzzTarget{"snapshot_json", fuzzSnapshotJson},
};
} // namespace

std::span<const FuzzTarget> fuzzTargets()
{
    return kTargets;
}

const FuzzTarget* findFuzzTarget(std::string_view name)
{
    for (const auto& t : kTargets)
        if (t.name == name)
            return &t;
    return nullptr;
}

} // namespace plovex::fuzz
