#include "fuzz/FuzzTargets.h"

#include <array>

namespace plovex::fuzz {

namespace {

constexpr std::array kTargets{
    FuzzTarget{"measurement_receiver", fuzzMeasurementReceiver},
    FuzzTarget{"diagnostic_reply", fuzzDiagnosticReply},
    FuzzTarget{"preferences", fuzzPreferences},
    FuzzTarget{"uevent", fuzzUevent},
    FuzzTarget{"frame_parser", fuzzFrameParser},
    FuzzTarget{"board_core", fuzzBoardCore},
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
