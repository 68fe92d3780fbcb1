#include "app/render/render_source.h"

#include <new>

#include "app/render/mix_source.h"
#include "app/render/read_ahead_source.h"
#include "signal/signal_source.h"
#include "signal/tone_source.h"

namespace zelvaro {

namespace {

// The source, read ahead on a thread of its own; the source itself where
// there is no memory for that.
SoundSourceRef readAhead(const SoundSourceRef& source) {
    SoundSourceRef ahead(new (std::nothrow) ReadAheadSource(source));
    return ahead.usable() ? ahead : source;
}

SoundSourceRef sharedTone(const ToneSettings& tone) {
    auto* whole = new (std::nothrow) ToneSource(tone, 0, 2);
    SoundSourceRef first(whole);
    if (!first.usable())
        return SoundSourceRef();
    // Filling a wavetable takes as long as rendering seconds of the tone: one
    // serves both shares.
    SoundSourceRef second(new (std::nothrow) ToneSource(tone, 1, 2, whole->sharedTable()));
    if (!second.usable())
        return SoundSourceRef();
    SoundSourceRef mix(new (std::nothrow) MixSource(first, readAhead(second)));
    return mix.usable() ? mix : SoundSourceRef();
}

}  // namespace

SoundSourceRef createRenderSource(const ToneSettings& tone, std::optional<uint32_t> seed) {
    const bool noise = tone.waveform == kWaveWhiteNoise || tone.waveform == kWavePinkNoise;
    SoundSourceRef source;
    if (!noise && tone.toneCount >= 2)
        source = sharedTone(tone);
    // One oscillator, noise, or no memory for the shares: one source renders
    // the whole tone.
    if (!source)
        source = createSignalSource(tone, seed);
    // The render loop's limiter, conversion and writes run beside it.
    return source.usable() ? readAhead(source) : source;
}

}  // namespace zelvaro
