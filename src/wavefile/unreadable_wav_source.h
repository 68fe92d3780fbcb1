// Stands for a WAV file whose samples cannot be read (a width no reader
// takes, or a compressed format no codec decodes): failed and silent, with
// the header of the file's format record so that callers can still describe
// the file, and holding no file open.
#pragma once

#include <cstring>

#include "signal/sound_source.h"
#include "wavefile/wav_header.h"

namespace zelvaro {

class UnreadableWavSource final : public SoundSource {
public:
    explicit UnreadableWavSource(const WaveFormat& format)
        : SoundSource(static_cast<int32_t>(format.samplesPerSec), 524272, static_cast<uint8_t>(format.channels)) {
        markFailed();
    }
    void read(int32_t* samples, int frames) override {
        if (frames > 0) std::memset(samples, 0, sizeof(int32_t) * static_cast<size_t>(frames) * channels);
    }
    int position() override { return 0; }
    int length() override { return 0; }
};

}  // namespace zelvaro
