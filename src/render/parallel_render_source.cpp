#include "render/parallel_render_source.h"

#include <algorithm>
#include <cstring>
#include <exception>
#include <memory>
#include <mutex>
#include <new>

namespace zelvaro {

ParallelRenderSource::ParallelRenderSource(std::vector<SoundSourceRef> sources, SkipFunction skipFunction)
    : SoundSource(44100, 0, 1), skip(skipFunction) {
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
    queue.reset(new (std::nothrow) BlockQueue(kSlots, static_cast<size_t>(kMaxBlockFrames) * channels, kWakeBlocks));
}

ParallelRenderSource::~ParallelRenderSource() {
    stop();
}

void ParallelRenderSource::start() {
    started = true;
    if (!queue || !queue->usable())
        return;
    try {
        // Room for every thread first: a thread once started must be joined.
        threads.reserve(copies.size());
    } catch (const std::bad_alloc&) {
        return;  // read directly
    }
    for (Copy& copy : copies) {
        try {
            threads.emplace_back(&ParallelRenderSource::renderBlocks, this, std::ref(copy));
        } catch (const std::exception&) {
            break;  // no thread, or no memory for one: fewer give the same samples
        }
    }
}

void ParallelRenderSource::stop() {
    if (threads.empty())
        return;
    queue->close();
    for (std::thread& thread : threads)
        thread.join();
    threads.clear();
}

void ParallelRenderSource::renderBlocks(Copy& copy) {
    int index;
    int slot;
    while (queue->claim(index, slot)) {
        for (; copy.nextBlock < index; ++copy.nextBlock)
            skip(*copy.source.get(), kMaxBlockFrames);
        Block& block = blocks[queue->place(index)];
        block.position = copy.source->position();
        copy.source->read(queue->slotSamples(slot), kMaxBlockFrames);
        copy.nextBlock = index + 1;
        const int64_t moved = static_cast<int64_t>(copy.source->position()) - block.position;
        block.advance = static_cast<int>(std::clamp<int64_t>(moved, 0, kMaxBlockFrames));
        block.length = copy.source->length();
        queue->publish(index);
    }
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
    if (!started)
        start();
    if (threads.empty()) {
        SoundSource& direct = *copies.front().source.get();
        direct.read(out, frames);
        reportedPosition = direct.position();
        reportedLength = direct.length();
        return;
    }
    while (frames > 0) {
        if (reading < 0)
            reading = queue->take();  // the renderers never stop while the reader reads
        const Block& block = blocks[queue->place(readBlock)];
        const int run = std::min(frames, kMaxBlockFrames - offset);
        std::memcpy(out, queue->slotSamples(reading) + static_cast<size_t>(offset) * channels,
                    sizeof(int32_t) * static_cast<size_t>(run) * channels);
        out += static_cast<size_t>(run) * channels;
        frames -= run;
        offset += run;
        // A source moves one frame per frame read until its end, where it
        // stops; a generator that never ends keeps its position.
        reportedPosition = block.position + std::min(offset, block.advance);
        reportedLength = block.length;
        if (offset == kMaxBlockFrames) {
            offset = 0;
            reading = -1;
            ++readBlock;
            queue->release();
        }
    }
}

int ParallelRenderSource::position() {
    return reportedPosition;
}

int ParallelRenderSource::length() {
    return reportedLength;
}

}  // namespace zelvaro
