#include "render/tone_length.h"

#include "signal/frame_count.h"
#include "signal/sample_rate_converter.h"

namespace zelvaro {

int64_t toneFrames(uint32_t durationMs) {
    return framesOfDuration(durationMs, kGeneratorRate);
}

int64_t framesAtRate(int64_t frames, int32_t fromRate, int32_t toRate) {
    if (fromRate == toRate) return frames;
    RateFraction f{};
    if (frames < 0 || !findRateFraction(fromRate, toRate, &f)) return -1;
    const int64_t L = f.phaseCount;
    const int64_t M = f.inputStep;
    return (frames / M) * L + ((frames % M) * L) / M;
}

}  // namespace zelvaro
