#include "signal/pure_signal_source.h"

#include "signal/frame_count.h"
#include "signal/pure_noise_source.h"
#include "signal/pure_rate_converter.h"
#include "signal/pure_tone_source.h"

namespace zelvaro {

PureSourcePtr createPureSource(const ToneSettings& tone, int32_t sampleRate, uint8_t channels, uint64_t seed) {
    if (tone.waveform == kWaveWhiteNoise || tone.waveform == kWavePinkNoise) {
        const int64_t frames = tone.fixedDuration() ? framesOfDuration(tone.durationMs, kPureNoiseRate) : 0;
        PureSourcePtr noise =
            std::make_unique<PureNoiseSource>(tone.waveform == kWavePinkNoise, frames, seed, channels);
        if (sampleRate == kPureNoiseRate) return noise;
        return std::make_unique<PureRateConverter>(std::move(noise), sampleRate);
    }
    return std::make_unique<PureToneSource>(tone, sampleRate, channels);
}

}  // namespace zelvaro
