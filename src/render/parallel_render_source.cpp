#include "render/parallel_render_source.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace zelvaro {

ParallelRenderSource::ParallelRenderSource(std::vector<SoundSourceRef> sources, SkipFunction skipFunction)
    : SoundSource(44100, 0, 1),
      skip(skipFunction),
      renderers(kMaxBlockFrames,
                [this](size_t copy, int block, int32_t* samples) { renderBlock(copy, block, samples); }) {
    if (sources.empty() || !sources.front().usable()) {
        markFailed();
        return;
    }
    const SoundSourceRef& first = sources.front();
    sampleRate = first->sampleRate;
    peakLevel = first->peakLevel;
    channels = first->channels;
    reportedPosition = first->position();
    reportedLength = first->length();
    for (const SoundSourceRef& source : sources) {
        if (!source.usable() || source->sampleRate != sampleRate || source->channels != channels) {
            markFailed();
            return;
        }
    }
    try {
        for (SoundSourceRef& source : sources) {
            copies.push_back(Copy{std::move(source)});
            if (!skip)
                break;
        }
    } catch (const std::bad_alloc&) {
        // The copies made so far share the work.
    }
    if (copies.empty()) {
        markFailed();
        return;
    }
}

ParallelRenderSource::~ParallelRenderSource() {
    renderers.stop();
}

void ParallelRenderSource::renderBlock(size_t index, int number, int32_t* samples) {
    Copy& copy = copies[index];
    for (; copy.nextBlock < number; ++copy.nextBlock)
        skip(*copy.source.get(), kMaxBlockFrames);
    Block& block = blocks[renderers.place(number)];
    block.position = copy.source->position();
    copy.source->read(samples, kMaxBlockFrames);
    copy.nextBlock = number + 1;
    const int64_t moved = static_cast<int64_t>(copy.source->position()) - block.position;
    block.advance = static_cast<int>(std::clamp<int64_t>(moved, 0, kMaxBlockFrames));
    block.length = copy.source->length();
}

void ParallelRenderSource::read(int32_t* out, int frames) {
    if (frames <= 0)
        return;
    if (copies.empty()) {
        std::memset(out, 0, sizeof(int32_t) * static_cast<size_t>(frames) * channels);
        return;
    }
    // The threads start with the first read, so a source made and dropped
    // unread costs no thread.
    if (!started) {
        started = true;
        threaded = renderers.start(copies.size(), channels);
    }
    if (!threaded) {
        SoundSource& direct = *copies.front().source.get();
        direct.read(out, frames);
        reportedPosition = direct.position();
        reportedLength = direct.length();
        return;
    }
    renderers.read(out, frames, [this](int number, int offset) {
        // A source moves one frame per frame read until its end, where it
        // stops; a generator that never ends keeps its position.
        const Block& block = blocks[renderers.place(number)];
        reportedPosition = block.position + std::min(offset, block.advance);
        reportedLength = block.length;
    });
}

int ParallelRenderSource::position() {
    return reportedPosition;
}

int ParallelRenderSource::length() {
    return reportedLength;
}

}  // namespace zelvaro
