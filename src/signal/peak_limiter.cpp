#include "signal/peak_limiter.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <new>

#include "base/wide_loops.h"
#include "signal/block_level.h"
#include "signal/decibel_table.h"
#include "signal/oscillator.h"

namespace zelvaro {

namespace {

// Scales `frames` frames of `channels` samples by a gain that moves by `step`
// each frame, holding each result within +-limit; returns the gain after the
// run. A fixed channel count lets the compiler keep the loop free of the
// per-sample channel test.
template <int FixedChannels>
ZELVARO_ALWAYS_INLINE int32_t rampLoop(int32_t* __restrict out, const int32_t* __restrict in, int frames,
                                       int32_t gain, int32_t step, int32_t limit, int channels) {
    const int perFrame = FixedChannels > 0 ? FixedChannels : channels;
    for (int j = 0; j < frames; ++j) {
        const int32_t g = gain + j * step;
        for (int c = 0; c < perFrame; ++c) {
            const int32_t v = applyGain(in[j * perFrame + c], g);
            out[j * perFrame + c] = v < -limit ? -limit : (v > limit ? limit : v);
        }
    }
    return gain + frames * step;
}

template <int FixedChannels>
int32_t rampBaseline(int32_t* __restrict out, const int32_t* __restrict in, int frames, int32_t gain,
                     int32_t step, int32_t limit, int channels) {
    return rampLoop<FixedChannels>(out, in, frames, gain, step, limit, channels);
}

template <int FixedChannels>
ZELVARO_TARGET_WIDE int32_t rampWide(int32_t* __restrict out, const int32_t* __restrict in, int frames,
                                     int32_t gain, int32_t step, int32_t limit, int channels) {
    return rampLoop<FixedChannels>(out, in, frames, gain, step, limit, channels);
}

template <int FixedChannels>
int32_t rampRun(int32_t* out, const int32_t* in, int frames, int32_t gain, int32_t step, int32_t limit,
                int channels = FixedChannels) {
    return useWideLoops() ? rampWide<FixedChannels>(out, in, frames, gain, step, limit, channels)
                          : rampBaseline<FixedChannels>(out, in, frames, gain, step, limit, channels);
}

}  // namespace

// Every gain here lies in 0..2^24: block gains by construction, and `gain`
// because each ramp ends on the lower of two block gains (or their mean). So
// the sums of the ramp set-up stay below 2^26, and applyGain never leaves int32.

PeakLimiter::PeakLimiter(const SoundSourceRef& source, int32_t limit) : SoundFilter(source) {
    peakLevel = std::clamp(limit, 0, kMaxPeakLimit);
    blockLength = std::clamp(sampleRate / 35, 20, kMaxBlockFrames);
    if (failed())
        return;
    const size_t blockSamples = static_cast<size_t>(blockLength) * channels;
    storage.reset(new (std::nothrow) int32_t[3 * blockSamples]);
    if (!storage) {
        markFailed();
        return;
    }
    current = storage.get();
    next = current + blockSamples;
    afterNext = next + blockSamples;
    prime();
}

void PeakLimiter::fillBlock(int32_t* block) {
    pull(block, blockLength);
}

int32_t PeakLimiter::blockGain(const int32_t* block) const {
    const int32_t peak = blockPeak(block, blockLength * channels);
    if (peak <= peakLevel)
        return kUnityGain;
    const int32_t divisor = static_cast<int32_t>((static_cast<int64_t>(peak) + 64) >> 6);
    return ((peakLevel * 512) / divisor) * 512;
}

void PeakLimiter::setUpRamp() {
    const int32_t target1 = std::min(currentGain, nextGain) - gain;
    const int32_t target2 = ((previousGain + currentGain + nextGain + afterNextGain) >> 2) - gain;
    const int32_t delta = std::min(target1, target2);
    gainStep = delta / blockLength;
    // The remainder goes first, so the ramp covers exactly delta in one block.
    gain += delta % blockLength;
    blockPos = 0;
}

void PeakLimiter::prime() {
    fillBlock(current);
    previousGain = currentGain = blockGain(current);
    fillBlock(next);
    nextGain = blockGain(next);
    fillBlock(afterNext);
    afterNextGain = blockGain(afterNext);
    gain = currentGain;
    setUpRamp();
}

void PeakLimiter::rotate() {
    int32_t* reused = current;
    current = next;
    next = afterNext;
    afterNext = reused;
    previousGain = currentGain;
    currentGain = nextGain;
    nextGain = afterNextGain;
    fillBlock(afterNext);
    afterNextGain = blockGain(afterNext);
    setUpRamp();
}

void PeakLimiter::read(int32_t* samples, int frames) {
    if (frames <= 0)
        return;
    const int channelCount = channels;
    if (!storage) {
        std::memset(samples, 0, sizeof(int32_t) * static_cast<size_t>(frames) * channelCount);
        return;
    }
    while (frames > 0) {
        const int run = std::min(frames, blockLength - blockPos);
        const int32_t* from = current + static_cast<size_t>(blockPos) * channelCount;
        const size_t runSamples = static_cast<size_t>(run) * channelCount;
        if (gain >= kUnityGain && gainStep == 0) {
            std::memcpy(samples, from, sizeof(int32_t) * runSamples);
        } else {
            // The split product rounds negative samples down by up to two
            // units, so a block's negative peak could land just past the
            // limit; such a sample is held at the limit. Everything the
            // product already keeps within the limit is untouched.
            if (channelCount == 1)
                gain = rampRun<1>(samples, from, run, gain, gainStep, peakLevel);
            else if (channelCount == 2)
                gain = rampRun<2>(samples, from, run, gain, gainStep, peakLevel);
            else
                gain = rampRun<0>(samples, from, run, gain, gainStep, peakLevel, channelCount);
        }
        samples += runSamples;
        frames -= run;
        blockPos += run;
        if (blockPos == blockLength)
            rotate();
    }
}

void PeakLimiter::seek(int frame) {
    SoundFilter::seek(frame);
    if (storage)
        prime();
}

int PeakLimiter::position() {
    if (!upstream)
        return 0;
    const int64_t p = static_cast<int64_t>(upstream->position()) + blockPos - 3 * static_cast<int64_t>(blockLength);
    return static_cast<int>(std::clamp<int64_t>(p, INT32_MIN, INT32_MAX));
}

SoundSourceRef PeakLimitAdapter::apply(const SoundSourceRef& input) const {
    if (!input.usable() || limit >= input->peakLevel)
        return input;
    return SoundSourceRef(new (std::nothrow) PeakLimiter(input, limit));
}

}  // namespace zelvaro
