// The double-precision counterpart of SoundSource, for the pure synthesis
// path: samples are doubles with full scale 1.0 (a sample of the int32 chain
// divided by 524,288), frames interleaved left then right. A source keeps
// producing frames past its length; the consumer stops at lengthFrames.
#pragma once

#include <cstdint>
#include <memory>

#include "base/full_scale.h"

namespace zelvaro {

class PureSource {
public:
    PureSource(int32_t rate, uint8_t channelCount, int64_t frames)
        : sampleRate(rate), channels(channelCount), lengthFrames(frames) {}
    virtual ~PureSource() = default;
    PureSource(const PureSource&) = delete;
    PureSource& operator=(const PureSource&) = delete;

    // Writes `frames` frames (frames * channels samples) into `out`.
    virtual void read(double* out, int frames) = 0;

    const int32_t sampleRate;
    const uint8_t channels;
    const int64_t lengthFrames;
};

using PureSourcePtr = std::unique_ptr<PureSource>;

}  // namespace zelvaro
