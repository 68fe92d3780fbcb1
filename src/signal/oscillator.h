// One wavetable oscillator of a tone source, and its phase arithmetic.
#pragma once

#include <cstdint>

namespace zelvaro {

// Phase units per hertz at 44,100 Hz: 2^32 / 44,100.
constexpr double kIncrementPerHz = 97391.54866213152;

struct Oscillator {
    bool impulse = false;
    uint32_t startIncrement = 0;
    uint32_t increment = 0;
    // End-frequency increment minus startIncrement.
    double incrementSpan = 0.0;
    uint32_t phase = 0;
    // 2^24 = unity.
    int32_t gain = 0;
};

// trunc(value) reduced modulo 2^32: the low 32 bits of the truncated value,
// for any finite value. Non-finite values give 0.
uint32_t wrapToUint32(double value);

// The phase increment of a frequency: trunc(hz x kIncrementPerHz), low 32 bits.
// A frequency whose product is not finite runs at 0 Hz.
inline uint32_t phaseIncrement(double hz) {
    return wrapToUint32(hz * kIncrementPerHz);
}

// s x gain / 2^24 from 12-bit halves with arithmetic shifts; the product of the
// two low halves is dropped. Exact for gain 2^24. No intermediate leaves int32
// for |s| < 2^31 with 0 <= gain <= 2^24, or |s| <= 2^20 with any gain >= 0.
inline int32_t applyGain(int32_t s, int32_t gain) {
    const int32_t sh = s >> 12;
    const int32_t gh = gain >> 12;
    return sh * gh + (((s & 4095) * gh) >> 12) + (((gain & 4095) * sh) >> 12);
}

}  // namespace zelvaro
