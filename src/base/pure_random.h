// A seeded 64-bit generator for the double-precision path (noise and
// dither): xoshiro256** over a splitmix64-expanded seed, so that a seed gives
// the same numbers on every build and platform.
#pragma once

#include <cstdint>

namespace zelvaro {

class PureRandom {
public:
    explicit PureRandom(uint64_t seed) {
        for (uint64_t& word : state_) {
            seed += 0x9E3779B97F4A7C15ull;
            uint64_t z = seed;
            z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
            z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
            word = z ^ (z >> 31);
        }
    }

    uint64_t next() {
        const uint64_t result = rotl(state_[1] * 5, 7) * 9;
        const uint64_t t = state_[1] << 17;
        state_[2] ^= state_[0];
        state_[3] ^= state_[1];
        state_[1] ^= state_[2];
        state_[0] ^= state_[3];
        state_[2] ^= t;
        state_[3] = rotl(state_[3], 45);
        return result;
    }

    // Uniform in [0, 1), on a grid of 2^-53.
    double uniform() { return static_cast<double>(next() >> 11) * 0x1p-53; }

    // Triangular on (-1, 1) with mean 0: the difference of two uniforms.
    double triangular() { return uniform() - uniform(); }

private:
    static uint64_t rotl(uint64_t x, int k) { return (x << k) | (x >> (64 - k)); }
    uint64_t state_[4];
};

}  // namespace zelvaro
