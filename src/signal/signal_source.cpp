#include "signal/signal_source.h"

#include <new>

#include "signal/noise_source.h"
#include "signal/random_generator.h"
#include "signal/tone_source.h"

namespace zelvaro {

uint8_t signalChannels(const ToneSettings& tone) {
    if (tone.waveform == kWaveWhiteNoise || tone.waveform == kWavePinkNoise) return 1;
    return tone.stereo() ? 2 : 1;
}

SoundSourceRef createSignalSource(const ToneSettings& tone, std::optional<uint32_t> seed) {
    const uint32_t durationMs = tone.fixedDuration() ? tone.durationMs : 0;
    switch (tone.waveform) {
    case kWaveWhiteNoise:
        return SoundSourceRef(new (std::nothrow) WhiteNoiseSource(durationMs, seed ? *seed : clockSeed()));
    case kWavePinkNoise:
        return SoundSourceRef(new (std::nothrow) PinkNoiseSource(durationMs, seed ? *seed : clockSeed()));
    default:
        return SoundSourceRef(new (std::nothrow) ToneSource(tone));
    }
}

}  // namespace zelvaro
