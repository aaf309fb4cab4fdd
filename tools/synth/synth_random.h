#pragma once
// A small random number generator whose whole output is fixed by its seed:
// the synthetic release and its records must come out as the same bytes for
// the same seed on every machine, which the standard library's distributions
// do not promise. Integer arithmetic only, and never two draws as operands
// of one expression, whose order of evaluation the language leaves open.

#include <cstdint>
#include <vector>

namespace drg::synth {

class SynthRandom {
public:
    // Independent streams of one seed: the release and the records each draw
    // from their own, so that the record count never changes the tables.
    explicit SynthRandom(uint64_t seed, uint64_t stream = 0) {
        uint64_t x = seed ^ (stream * 0xD1B54A32D192ED03ull);
        for (uint64_t& s : state_) s = splitMix(x);
    }

    // xoshiro256**
    uint64_t next() {
        const uint64_t result = rotate(state_[1] * 5, 7) * 9;
        const uint64_t t = state_[1] << 17;
        state_[2] ^= state_[0];
        state_[3] ^= state_[1];
        state_[1] ^= state_[2];
        state_[0] ^= state_[3];
        state_[2] ^= t;
        state_[3] = rotate(state_[3], 45);
        return result;
    }

    // 0 .. n-1 (n > 0), by multiplying the top 32 bits; the tiny bias is the
    // same everywhere, which is what matters here.
    uint32_t below(uint32_t n) { return static_cast<uint32_t>(((next() >> 32) * n) >> 32); }

    int32_t between(int32_t low, int32_t high) {
        return low + static_cast<int32_t>(below(static_cast<uint32_t>(high - low + 1)));
    }

    bool perMille(uint32_t chance) { return below(1000) < chance; }

    template <class T>
    const T& pick(const std::vector<T>& values) {
        return values[below(static_cast<uint32_t>(values.size()))];
    }

private:
    static uint64_t rotate(uint64_t x, int k) { return (x << k) | (x >> (64 - k)); }
    static uint64_t splitMix(uint64_t& x) {
        uint64_t z = (x += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }

    uint64_t state_[4];
};

}  // namespace drg::synth
