#include "signal/block_level.h"

#include <algorithm>
#include <climits>

#include "base/wide_loops.h"

namespace zelvaro {

namespace {

ZELVARO_ALWAYS_INLINE int32_t peakLoop(const int32_t* samples, int count, int stride) {
    int32_t largest = 0;
    int32_t smallest = 0;
    for (int i = 0; i < count; ++i) {
        const int32_t s = samples[static_cast<size_t>(i) * stride];
        largest = std::max(largest, s);
        smallest = std::min(smallest, s);
    }
    // -INT32_MIN does not exist; report the largest magnitude that does.
    const int32_t negated = smallest == INT32_MIN ? INT32_MAX : -smallest;
    return std::max(largest, negated);
}

int32_t peakBaseline(const int32_t* samples, int count) {
    return peakLoop(samples, count, 1);
}

ZELVARO_TARGET_WIDE int32_t peakWide(const int32_t* samples, int count) {
    return peakLoop(samples, count, 1);
}

int32_t stridedPeak(const int32_t* samples, int count, int stride) {
    // Whole blocks (the limiter's) are the ones worth vectorising.
    if (stride == 1)
        return useWideLoops() ? peakWide(samples, count) : peakBaseline(samples, count);
    return peakLoop(samples, count, stride);
}

uint32_t stridedMeanSquare(const int32_t* samples, int count, int stride) {
    if (count <= 0)
        return 0;
    // The square is split at bit 13 so that 8,192 frames of it sum in 32 bits.
    uint32_t hi = 0;
    uint32_t lo = 0;
    for (int i = 0; i < count; ++i) {
        const uint32_t f = static_cast<uint32_t>(samples[static_cast<size_t>(i) * stride] >> 5);
        const uint32_t p = f * f;
        hi += p >> 13;
        lo += p & 8191;
    }
    const uint32_t total = hi + (lo >> 13);
    const uint32_t n = static_cast<uint32_t>(count);
    const uint64_t remainder = static_cast<uint64_t>(total % n) * 8192 / n;
    return (total / n) * 8192 + static_cast<uint32_t>(remainder);
}

}  // namespace

int32_t blockPeak(const int32_t* samples, int count) {
    return stridedPeak(samples, count, 1);
}

int32_t channelPeak(const int32_t* samples, int frames, int channels, int channel) {
    if (channels <= 0 || channel < 0 || channel >= channels)
        return 0;
    return stridedPeak(samples + channel, frames, channels);
}

uint32_t blockMeanSquare(const int32_t* samples, int count) {
    return stridedMeanSquare(samples, count, 1);
}

uint32_t channelMeanSquare(const int32_t* samples, int frames, int channels, int channel) {
    if (channels <= 0 || channel < 0 || channel >= channels)
        return 0;
    return stridedMeanSquare(samples + channel, frames, channels);
}

}  // namespace zelvaro
