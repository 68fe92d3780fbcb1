#include "render/parallel_pure_source.h"

#include <algorithm>
#include <cstring>
#include <exception>
#include <new>

#include "signal/pure_signal_source.h"
#include "signal/pure_tone_source.h"

namespace zelvaro {

ParallelPureSource::ParallelPureSource(std::vector<PureSourcePtr> sources, SkipFunction skipFunction)
    : PureSource(sources.empty() ? 44100 : sources.front()->sampleRate,
                 sources.empty() ? 1 : sources.front()->channels, sources.empty() ? 0 : sources.front()->lengthFrames),
      skip(skipFunction) {
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
    if (copies.size() > 1)
        queue.reset(new (std::nothrow)
                        BasicBlockQueue<double>(kSlots, static_cast<size_t>(kBlockFrames) * channels, kWakeBlocks));
}

ParallelPureSource::~ParallelPureSource() {
    if (threads.empty())
        return;
    queue->close();
    for (std::thread& thread : threads)
        thread.join();
}

void ParallelPureSource::start() {
    started = true;
    if (!queue || !queue->usable())
        return;
    try {
        // Room for every thread first: a thread once started must be joined.
        threads.reserve(copies.size());
    } catch (const std::bad_alloc&) {
        return;
    }
    for (Copy& copy : copies) {
        try {
            threads.emplace_back(&ParallelPureSource::renderBlocks, this, std::ref(copy));
        } catch (const std::exception&) {
            break;  // fewer threads give the same samples
        }
    }
    if (threads.size() == 1) {
        // One thread alone gains nothing over reading directly.
        queue->close();
        threads.front().join();
        threads.clear();
    }
}

void ParallelPureSource::renderBlocks(Copy& copy) {
    int index;
    int slot;
    while (queue->claim(index, slot)) {
        if (copy.nextBlock < index)
            skip(*copy.source, static_cast<uint64_t>(index - copy.nextBlock) * kBlockFrames);
        copy.source->read(queue->slotSamples(slot), kBlockFrames);
        copy.nextBlock = index + 1;
        queue->publish(index);
    }
}

void ParallelPureSource::read(double* out, int frames) {
    if (frames <= 0)
        return;
    if (copies.empty()) {
        std::memset(out, 0, sizeof(double) * static_cast<size_t>(frames) * channels);
        return;
    }
    if (!started)
        start();
    if (threads.empty()) {
        copies.front().source->read(out, frames);
        return;
    }
    while (frames > 0) {
        if (reading < 0)
            reading = queue->take();  // the renderers never stop while the reader reads
        const int run = std::min(frames, kBlockFrames - offset);
        std::memcpy(out, queue->slotSamples(reading) + static_cast<size_t>(offset) * channels,
                    sizeof(double) * static_cast<size_t>(run) * channels);
        out += static_cast<size_t>(run) * channels;
        frames -= run;
        offset += run;
        if (offset == kBlockFrames) {
            offset = 0;
            reading = -1;
            queue->release();
        }
    }
}

PureSourcePtr createPureRenderSource(const ToneSettings& tone, int32_t sampleRate, uint8_t channels, uint64_t seed,
                                     int threads) {
    const bool noise = tone.waveform == kWaveWhiteNoise || tone.waveform == kWavePinkNoise;
    if (noise || tone.sweep() || threads < 2)
        return createPureSource(tone, sampleRate, channels, seed);
    std::vector<PureSourcePtr> copies;
    for (int i = 0; i < threads; ++i)
        copies.push_back(std::make_unique<PureToneSource>(tone, sampleRate, channels));
    return std::make_unique<ParallelPureSource>(std::move(copies), [](PureSource& copy, uint64_t frames) {
        static_cast<PureToneSource&>(copy).skip(frames);
    });
}

int pureRenderThreads() {
    const unsigned cores = std::thread::hardware_concurrency();
    return static_cast<int>(std::clamp(cores, 2u, 4u));
}

}  // namespace zelvaro
