#include "render/render_source.h"

#include <algorithm>
#include <new>
#include <thread>
#include <vector>

#include "render/parallel_render_source.h"
#include "signal/signal_source.h"
#include "signal/tone_source.h"

namespace zelvaro {

namespace {

// At least two, so that a machine that does not say how many cores it has
// still renders beside the render loop; at most four, past which the render
// loop and the writes are the slower part.
int generatorThreads() {
    const unsigned cores = std::thread::hardware_concurrency();
    return static_cast<int>(std::clamp(cores, 2u, 4u));
}

void skipTone(SoundSource& copy, int frames) {
    static_cast<ToneSource&>(copy).skip(frames);
}

// Copies of the tone's generator; fewer where memory runs out, none when
// not even the first can be made.
std::vector<SoundSourceRef> toneCopies(const ToneSettings& tone, int count) {
    std::vector<SoundSourceRef> copies;
    auto* first = new (std::nothrow) ToneSource(tone);
    SoundSourceRef firstRef(first);
    if (!firstRef.usable())
        return copies;
    try {
        copies.reserve(static_cast<size_t>(count));
    } catch (const std::bad_alloc&) {
        return copies;
    }
    copies.push_back(firstRef);
    // The copies read the first one's wavetable, which takes as long to fill
    // as seconds of the tone take to render.
    for (int i = 1; i < count; ++i) {
        SoundSourceRef copy(new (std::nothrow) ToneSource(tone, first->sharedTable()));
        if (!copy.usable())
            break;
        copies.push_back(copy);
    }
    return copies;
}

}  // namespace

SoundSourceRef createRenderSource(const ToneSettings& tone, std::optional<uint32_t> seed, int threads) {
    if (threads <= 0)
        threads = generatorThreads();
    const bool noise = tone.waveform == kWaveWhiteNoise || tone.waveform == kWavePinkNoise;
    // Noise is one random sequence: skipping it costs as much as rendering
    // it, so one thread renders it all.
    std::vector<SoundSourceRef> copies;
    if (!noise)
        copies = toneCopies(tone, threads);
    SoundSourceRef first = copies.empty() ? createSignalSource(tone, seed) : copies.front();
    if (!first.usable())
        return first;
    try {
        if (copies.empty())
            copies.push_back(first);
    } catch (const std::bad_alloc&) {
        return first;
    }
    SoundSourceRef parallel(new (std::nothrow) ParallelRenderSource(std::move(copies), noise ? nullptr : skipTone));
    // Without memory for it, the generator is read directly.
    return parallel.usable() ? parallel : first;
}

}  // namespace zelvaro
