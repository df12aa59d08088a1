// The libFuzzer entry of one fuzz program; PLOVEX_FUZZ_TARGET names the
// target it runs. A broken invariant (or any other escaping exception) is
// printed and turned into an abort, which libFuzzer records as a crash.

#include "fuzz/FuzzTargets.h"

#include <cstdio>
#include <cstdlib>
#include <exception>

namespace {

const plovex::fuzz::FuzzTarget& target()
{
    static const plovex::fuzz::FuzzTarget* t = plovex::fuzz::findFuzzTarget(PLOVEX_FUZZ_TARGET);
    if (!t) {
        std::fprintf(stderr, "no fuzz target named %s\n", PLOVEX_FUZZ_TARGET);
        std::abort();
    }
    return *t;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    try {
        return target().run(data, size);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "fuzz target %s: %s\n", PLOVEX_FUZZ_TARGET, e.what());
        std::fflush(stderr);
        std::abort();
    }
}
