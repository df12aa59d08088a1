#pragma once
// A small seeded random source (SplitMix64) whose output is the same on every
// machine and library, so that a seed always gives the same board.

#include <cstdint>

namespace plovex::sim {

class Random {
public:
    explicit Random(std::uint64_t seed) : state_(seed) {}

    std::uint64_t next()
    {
        std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }

    // Uniform in [lo, hi] (hi - lo well below 2^32).
    int between(int lo, int hi)
    {
        const auto span = static_cast<std::uint64_t>(hi - lo) + 1;
        return lo + static_cast<int>(next() % span);
    }

    // Uniform in [0, 1).
    double unit() { return static_cast<double>(next() >> 11) * (1.0 / 9007199254740992.0); }

    std::uint8_t byte() { return static_cast<std::uint8_t>(next() >> 56); }

private:
    std::uint64_t state_;
};

// Independent streams drawn from one seed.
inline std::uint64_t streamSeed(std::uint64_t seed, std::uint64_t stream)
{
    Random r(seed ^ (stream * 0xD1B54A32D192ED03ull));
    return r.next();
}

} // namespace plovex::sim
