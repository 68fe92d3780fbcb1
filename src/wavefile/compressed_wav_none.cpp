#include <cstring>

#include "wavefile/compressed_wav.h"

namespace zelvaro {

namespace {

// Stands for a compressed file that no codec can decode: failed, silent, and
// holding no file open.
class UnsupportedWavSource final : public SoundSource {
public:
    explicit UnsupportedWavSource(const WaveFormat& format)
        : SoundSource(static_cast<int32_t>(format.samplesPerSec), 524272, static_cast<uint8_t>(format.channels)) {
        markFailed();
    }
    void read(int32_t* samples, int frames) override {
        if (frames > 0) std::memset(samples, 0, sizeof(int32_t) * static_cast<size_t>(frames) * channels);
    }
    int position() override { return 0; }
    int length() override { return 0; }
};

class UnsupportedWavSink final : public SoundSink {
public:
    explicit UnsupportedWavSink(const WaveFormat& format)
        : SoundSink(static_cast<int32_t>(format.samplesPerSec), 524272, static_cast<uint8_t>(format.channels)) {
        markFailed();
    }
    void write(const int32_t*, int frames) override {
        uint32_t sum = static_cast<uint32_t>(framesWritten) + static_cast<uint32_t>(frames);
        framesWritten = sum <= 0x7FFFFFFFu ? static_cast<int32_t>(sum) : -static_cast<int32_t>(~sum) - 1;
    }
};

}  // namespace

SoundSourceRef openCompressedWavSource(FileStream, const WaveFormat& format, uint32_t) {
    return SoundSourceRef(new UnsupportedWavSource(format));
}

SoundSinkRef createCompressedWavSink(const char*, const WaveFormat& format) {
    return SoundSinkRef(new UnsupportedWavSink(format));
}

}  // namespace zelvaro
