#include "render/pure_parallel_source.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "signal/pure_signal_source.h"
#include "signal/pure_tone_source.h"

namespace zelvaro {

PureParallelSource::PureParallelSource(std::vector<PureSourcePtr> sources, SkipFunction skipFunction)
    : PureSource(sources.empty() ? 44100 : sources.front()->sampleRate,
                 sources.empty() ? 1 : sources.front()->channels, sources.empty() ? 0 : sources.front()->lengthFrames),
      skip(skipFunction),
      renderers(kMaxBlockFrames, [this](size_t copy, int block, double* samples) { renderBlock(copy, block, samples); }) {
    try {
        for (PureSourcePtr& source : sources) {
            if (!source || source->channels != channels || source->sampleRate != sampleRate)
                break;
            copies.push_back(Copy{std::move(source)});
            if (!skip)
                break;
        }
    } catch (const std::bad_alloc&) {
        // The copies made so far share the work.
    }
}

PureParallelSource::~PureParallelSource() {
    renderers.stop();
}

void PureParallelSource::renderBlock(size_t index, int block, double* samples) {
    Copy& copy = copies[index];
    if (copy.nextBlock < block)
        skip(*copy.source, static_cast<uint64_t>(block - copy.nextBlock) * kMaxBlockFrames);
    copy.source->read(samples, kMaxBlockFrames);
    copy.nextBlock = block + 1;
}

void PureParallelSource::read(double* out, int frames) {
    if (frames <= 0)
        return;
    if (copies.empty()) {
        std::memset(out, 0, sizeof(double) * static_cast<size_t>(frames) * channels);
        return;
    }
    if (!started) {
        started = true;
        threaded = renderers.start(copies.size(), channels);
    }
    if (!threaded) {
        copies.front().source->read(out, frames);
        return;
    }
    renderers.read(out, frames, [](int, int) {});
}

PureSourcePtr createPureRenderSource(const ToneSettings& tone, int32_t sampleRate, uint8_t channels, uint64_t seed,
                                     int threads) {
    const bool noise = tone.waveform == kWaveWhiteNoise || tone.waveform == kWavePinkNoise;
    if (noise || tone.sweep() || threads < 2)
        return createPureSource(tone, sampleRate, channels, seed);
    std::vector<PureSourcePtr> copies;
    for (int i = 0; i < threads; ++i)
        copies.push_back(std::make_unique<PureToneSource>(tone, sampleRate, channels));
    return std::make_unique<PureParallelSource>(std::move(copies), [](PureSource& copy, uint64_t frames) {
        static_cast<PureToneSource&>(copy).skip(frames);
    });
}

int pureRenderThreads() {
    const unsigned cores = std::thread::hardware_concurrency();
    return static_cast<int>(std::clamp(cores, 2u, 4u));
}

}  // namespace zelvaro
