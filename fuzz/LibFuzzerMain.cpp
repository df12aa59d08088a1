// The libFuzzer entry of one fuzz program; PLOVEX_FUZZ_TARGET names its
// target. A broken invariant (or any escaping exception) is printed and
// turned into an abort, which libFuzzer keeps as a crash.

#include "fuzz/FuzzTargets.h"

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <stdexcept>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const auto* target = plovex::fuzz::findFuzzTarget(PLOVEX_FUZZ_TARGET);
    try {
        if (!target)
            throw std::invalid_argument("no such fuzz target");
        return target->run(data, size);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "fuzz target %s: %s\n", PLOVEX_FUZZ_TARGET, e.what());
        std::abort();
    }
}
