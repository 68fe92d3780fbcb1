// The noise sources' pseudo-random numbers: a linear congruential generator
// with a 32-bit state, so that a seed gives the same noise on every build.
#pragma once

#include <cstdint>
#include <ctime>

namespace zelvaro {

constexpr int kRandomMax = 32767;

class RandomGenerator {
public:
    explicit RandomGenerator(uint32_t seed) : state(seed) {}

    // Uniform from 0 to kRandomMax.
    int next() {
        state = state * 214013u + 2531011u;
        return static_cast<int>((state >> 16) & 0x7FFF);
    }

private:
    uint32_t state;
};

// The current time in whole seconds: two noises made in the same second are
// the same noise.
inline uint32_t clockSeed() {
    return static_cast<uint32_t>(std::time(nullptr));
}

}  // namespace zelvaro
