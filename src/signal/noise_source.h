// White and pink noise: a table of random values drawn at construction, read
// in runs that start at table-chosen places so that its repetition is not heard.
#pragma once

#include <memory>

#include "signal/sound_source.h"

namespace zelvaro {

constexpr int kNoiseTableSize = 32768;

class WhiteNoiseSource : public SoundSource {
public:
    // A duration of 0 is continuous. Seeded from the clock, or from `seed`.
    explicit WhiteNoiseSource(uint32_t durationMs);
    WhiteNoiseSource(uint32_t durationMs, uint32_t seed);

    void read(int32_t* samples, int frames) override;
    int position() override;
    int length() override;

    const int32_t* table() const { return noiseTable.get(); }

private:
    std::unique_ptr<int32_t[]> noiseTable;
    int32_t framesRendered = 0;
    int32_t totalFrames = 0;
    int32_t readIndex = 0;
    int32_t jumpIndex = 0;
    int32_t xorMask = 0;
};

class PinkNoiseSource : public SoundSource {
public:
    explicit PinkNoiseSource(uint32_t durationMs);
    PinkNoiseSource(uint32_t durationMs, uint32_t seed);

    void read(int32_t* samples, int frames) override;
    int position() override;
    int length() override;

    const double* table() const { return noiseTable.get(); }

private:
    std::unique_ptr<double[]> noiseTable;
    int32_t framesRendered = 0;
    int32_t totalFrames = 0;
    int32_t readIndex = 0;
    int32_t runEnd = kNoiseTableSize;
    int32_t jumpIndex = 0;
    double b[7] = {};
};

}  // namespace zelvaro
