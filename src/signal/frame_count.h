// Length bookkeeping shared by the generators.
#pragma once

#include <climits>
#include <cstdint>

#include "signal/sound_source.h"

namespace zelvaro {

// The longest tone a generator renders: a position one block past it still
// fits the int32 frame counts of the interface.
constexpr int32_t kMaxGeneratorFrames = INT32_MAX - kMaxBlockFrames;

// The chain's rate, at which its generators make their samples.
constexpr int32_t kGeneratorRate = 44100;

// Frames of a duration at `sampleRate`, as every generator of either chain
// counts them: whole seconds, then the milliseconds rounded down (1 ms is 44
// frames at 44,100 Hz). Not capped.
inline int64_t framesOfDuration(uint32_t durationMs, int32_t sampleRate) {
    return static_cast<int64_t>(durationMs / 1000) * sampleRate +
           static_cast<int64_t>(durationMs % 1000) * sampleRate / 1000;
}

// Frames of a duration at the generators' 44,100 Hz; durations beyond
// kMaxGeneratorFrames (about 13.5 hours) give kMaxGeneratorFrames.
inline int32_t durationFrames(uint32_t durationMs) {
    const int64_t frames = framesOfDuration(durationMs, kGeneratorRate);
    return frames > kMaxGeneratorFrames ? kMaxGeneratorFrames : static_cast<int32_t>(frames);
}

// framesRendered after another read; stops at INT32_MAX rather than wrapping.
inline int32_t advanceFrames(int32_t rendered, int frames) {
    const int64_t next = static_cast<int64_t>(rendered) + (frames > 0 ? frames : 0);
    return next > INT32_MAX ? INT32_MAX : static_cast<int32_t>(next);
}

// What a generator reports as its length: its frames, or one minute when it
// has no duration (it never advances, so it never ends).
inline int generatorLength(int32_t totalFrames, int32_t sampleRate) {
    return totalFrames > 0 ? totalFrames : sampleRate * 60;
}

}  // namespace zelvaro
