#include "app/render/render_source.h"

#include <algorithm>
#include <new>
#include <thread>

#include "app/render/parallel_tone_source.h"
#include "app/render/read_ahead_source.h"
#include "signal/signal_source.h"

namespace zelvaro {

namespace {

// At least two, so that a machine that does not say how many cores it has
// still renders beside the render loop; at most four, past which the render
// loop and the writes are the slower part.
int generatorThreads() {
    const unsigned cores = std::thread::hardware_concurrency();
    return static_cast<int>(std::clamp(cores, 2u, 4u));
}

}  // namespace

SoundSourceRef createRenderSource(const ToneSettings& tone, std::optional<uint32_t> seed) {
    const bool noise = tone.waveform == kWaveWhiteNoise || tone.waveform == kWavePinkNoise;
    if (!noise) {
        SoundSourceRef parallel(new (std::nothrow) ParallelToneSource(tone, generatorThreads()));
        if (parallel.usable())
            return parallel;
    }
    // Noise is one random sequence and cannot be split; it, or a tone when
    // there is no memory for the copies, is read ahead on one thread.
    SoundSourceRef source = createSignalSource(tone, seed);
    if (!source.usable())
        return source;
    SoundSourceRef ahead(new (std::nothrow) ReadAheadSource(source));
    return ahead.usable() ? ahead : source;
}

}  // namespace zelvaro
