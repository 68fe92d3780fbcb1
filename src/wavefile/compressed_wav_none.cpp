#include <cstring>

#include "wavefile/compressed_wav.h"
#include "wavefile/unreadable_wav_source.h"

namespace zelvaro {

namespace {

class UnsupportedWavSink final : public SoundSink {
public:
    explicit UnsupportedWavSink(const WaveFormat& format)
        : SoundSink(static_cast<int32_t>(format.samplesPerSec), 524272, static_cast<uint8_t>(format.channels)) {
        status |= kStatusCodecError;
        markFailed();
    }
    void write(const int32_t*, int frames) override {
        uint32_t sum = static_cast<uint32_t>(framesWritten) + static_cast<uint32_t>(frames);
        framesWritten = sum <= 0x7FFFFFFFu ? static_cast<int32_t>(sum) : -static_cast<int32_t>(~sum) - 1;
    }
};

}  // namespace

SoundSourceRef openCompressedWavSource(FileStream, const WaveFormat& format, uint32_t) {
    return SoundSourceRef(new UnreadableWavSource(format));
}

SoundSinkRef createCompressedWavSink(const char*, const WaveFormat& format) {
    return SoundSinkRef(new UnsupportedWavSink(format));
}

}  // namespace zelvaro
