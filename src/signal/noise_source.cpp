#include "signal/noise_source.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "signal/frame_count.h"
#include "signal/random_generator.h"

namespace zelvaro {

namespace {

// 262,144 / 32,767: a random value scaled to 0..262,144.
constexpr double kWhiteScale = 8.000244148075808;
constexpr double kPinkScale = 0.5600170903653066;

void clearFrames(int32_t* samples, int frames) {
    if (frames > 0)
        std::memset(samples, 0, sizeof(int32_t) * static_cast<size_t>(frames));
}

}  // namespace

WhiteNoiseSource::WhiteNoiseSource(uint32_t durationMs) : WhiteNoiseSource(durationMs, clockSeed()) {}

WhiteNoiseSource::WhiteNoiseSource(uint32_t durationMs, uint32_t seed)
    : SoundSource(44100, 2097152, 1), totalFrames(durationMs > 0 ? durationFrames(durationMs) : 0) {
    noiseTable.reset(new (std::nothrow) int32_t[kNoiseTableSize]);
    if (!noiseTable) {
        markFailed();
        return;
    }
    RandomGenerator random(seed);
    for (int i = 0; i < kNoiseTableSize; ++i) {
        int32_t v = static_cast<int32_t>(random.next() * kWhiteScale);
        if ((v & 512) != 0)
            v = -v;
        noiseTable[i] = v;
    }
}

void WhiteNoiseSource::read(int32_t* samples, int frames) {
    if (frames <= 0)
        return;
    if (totalFrames > 0)
        framesRendered = advanceFrames(framesRendered, frames);
    if (!noiseTable) {
        clearFrames(samples, frames);
        return;
    }
    const int32_t* table = noiseTable.get();
    while (frames > 0) {
        if (readIndex >= kNoiseTableSize) {
            // A new run: from a table-chosen entry to the end, every sample
            // XOR-ed with that entry's value.
            if (jumpIndex >= kNoiseTableSize)
                jumpIndex = 0;
            readIndex = table[jumpIndex] & (kNoiseTableSize - 1);
            xorMask = table[jumpIndex];
            ++jumpIndex;
        }
        const int run = std::min(frames, kNoiseTableSize - readIndex);
        const int32_t mask = xorMask;
        const int32_t* from = table + readIndex;
        for (int i = 0; i < run; ++i)
            samples[i] = from[i] ^ mask;
        samples += run;
        frames -= run;
        readIndex += run;
    }
}

int WhiteNoiseSource::position() {
    return framesRendered;
}

int WhiteNoiseSource::length() {
    return generatorLength(totalFrames, sampleRate);
}

PinkNoiseSource::PinkNoiseSource(uint32_t durationMs) : PinkNoiseSource(durationMs, clockSeed()) {}

PinkNoiseSource::PinkNoiseSource(uint32_t durationMs, uint32_t seed)
    : SoundSource(44100, 2097152, 1), totalFrames(durationMs > 0 ? durationFrames(durationMs) : 0) {
    noiseTable.reset(new (std::nothrow) double[kNoiseTableSize]);
    if (!noiseTable) {
        markFailed();
        return;
    }
    RandomGenerator random(seed);
    for (int i = 0; i < kNoiseTableSize; ++i) {
        const int r1 = random.next();
        const int r2 = random.next();
        noiseTable[i] = (r1 & 1) != 0 ? r2 * kPinkScale : -r2 * kPinkScale;
    }
}

void PinkNoiseSource::read(int32_t* samples, int frames) {
    if (frames <= 0)
        return;
    if (totalFrames > 0)
        framesRendered = advanceFrames(framesRendered, frames);
    if (!noiseTable) {
        clearFrames(samples, frames);
        return;
    }
    const double* table = noiseTable.get();
    double b0 = b[0], b1 = b[1], b2 = b[2], b3 = b[3], b4 = b[4], b5 = b[5], b6 = b[6];
    while (frames > 0) {
        if (readIndex >= runEnd) {
            // Two table entries choose the next run: its start in the first
            // half and its end in the second. jumpIndex stays even, so both
            // reads lie inside the table.
            if (jumpIndex >= kNoiseTableSize)
                jumpIndex = 0;
            readIndex = static_cast<int32_t>(table[jumpIndex] * 10) & 16383;
            ++jumpIndex;
            runEnd = (static_cast<int32_t>(table[jumpIndex] * 10) & 16383) + 16384;
            ++jumpIndex;
        }
        const int run = std::min(frames, runEnd - readIndex);
        const double* from = table + readIndex;
        for (int i = 0; i < run; ++i) {
            const double w = from[i];
            b0 = 0.99886 * b0 + 0.0555179 * w;
            b1 = 0.99332 * b1 + 0.0750759 * w;
            b2 = 0.969 * b2 + 0.153852 * w;
            b3 = 0.8665 * b3 + 0.3104856 * w;
            b4 = 0.55 * b4 + 0.5329522 * w;
            b5 = -0.7616 * b5 - 0.016898 * w;
            const double out = b0 + b1 + b2 + b3 + b4 + b5 + b6 + 0.5362 * w;
            b6 = 0.115926 * w;
            samples[i] = static_cast<int32_t>(out);
        }
        samples += run;
        frames -= run;
        readIndex += run;
    }
    b[0] = b0, b[1] = b1, b[2] = b2, b[3] = b3, b[4] = b4, b[5] = b5, b[6] = b6;
}

int PinkNoiseSource::position() {
    return framesRendered;
}

int PinkNoiseSource::length() {
    return generatorLength(totalFrames, sampleRate);
}

}  // namespace zelvaro
