#pragma once
// How a fuzz target reports a broken invariant: it throws InvariantBroken
// with a message that names the condition and the values involved. The
// libFuzzer entry turns any escaping exception into an abort, so the input is
// kept as a crash; the regression suite reports it as a test failure.

#include <stdexcept>
#include <string>

namespace plovex::fuzz {

class InvariantBroken : public std::logic_error {
public:
    using std::logic_error::logic_error;
};

[[noreturn]] inline void invariantBroken(const char* condition, const std::string& detail)
{
    throw InvariantBroken(std::string("invariant broken: ") + condition + (detail.empty() ? "" : " -- ") + detail);
}

} // namespace plovex::fuzz

// Checks cond; on failure throws with the text of cond and the detail
// expression (evaluated only then).
#define PLOVEX_FUZZ_REQUIRE(cond, detail)                                                                         \
    do {                                                                                                           \
        if (!(cond))                                                                                               \
            ::plovex::fuzz::invariantBroken(#cond, (detail));                                                     \
    } while (0)
