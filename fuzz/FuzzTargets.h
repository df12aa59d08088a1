#pragma once
// The fuzz targets. Each takes one input, drives the code under test with it
// and checks invariants (PLOVEX_FUZZ_REQUIRE); each returns 0. The libFuzzer
// programs (fuzz_<name>) and the regression suite call the same functions.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

namespace plovex::fuzz {

// Arbitrary byte streams through the measurement-frame receiver.
int fuzzMeasurementReceiver(const uint8_t* data, std::size_t size);
// Diagnostic requests (code, further bytes) through the answering side.
int fuzzDiagnosticReply(const uint8_t* data, std::size_t size);
// Preferences file text through the parser and the formatter.
int fuzzPreferences(const uint8_t* data, std::size_t size);
// uevent texts, device names, attribute files and port names through the
// sysfs reading of port discovery, including a scan of a fake sysfs tree.
int fuzzUevent(const uint8_t* data, std::size_t size);
// Host bytes through the simulated board's frame parser.
int fuzzFrameParser(const uint8_t* data, std::size_t size);
// Host bytes, in bursts with pauses between them, through the simulated board.
int fuzzBoardCore(const uint8_t* data, std::size_t size);
// Parameter file text through the JSON reader, the snapshot reader and the quoting.
int fuzzSnapshotJson(const uint8_t* data, std::size_t size);

struct FuzzTarget {
    std::string_view name; // also the folder name under fuzz/corpus and fuzz/regressions
    int (*run)(const uint8_t* data, std::size_t size);
};

std::span<const FuzzTarget> fuzzTargets();
// The target of that name, or nullptr.
const FuzzTarget* findFuzzTarget(std::string_view name);

} // namespace plovex::fuzz
