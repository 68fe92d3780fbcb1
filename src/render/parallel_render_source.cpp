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
    slotSize = static_cast<size_t>(kMaxBlockFrames) * channels;
    samples.reset(new (std::nothrow) int32_t[kSlots * slotSize]);
}

ParallelRenderSource::~ParallelRenderSource() {
    stop();
}

void ParallelRenderSource::start() {
    started = true;
    if (!samples)
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
    {
        std::lock_guard<WaitLock> hold(lock);
        stopping = true;
    }
    changed.notifyAll();
    for (std::thread& thread : threads)
        thread.join();
    threads.clear();
}

void ParallelRenderSource::renderBlocks(Copy& copy) {
    for (;;) {
        int index;
        {
            std::lock_guard<WaitLock> hold(lock);
            // A full ring is refilled from half full: every sleep and wake-up
            // of a thread costs about as much as rendering a block.
            if (claimed - consumed >= kSlots) {
                ++renderersWaiting;
                changed.wait(lock, [&] { return stopping || claimed - consumed <= kSlots / 2; });
                --renderersWaiting;
            }
            if (stopping)
                return;
            index = claimed++;
        }
        // The slot is this thread's alone until it is marked ready: the
        // reader has handed on the block it held before.
        for (; copy.nextBlock < index; ++copy.nextBlock)
            skip(*copy.source.get(), kMaxBlockFrames);
        Block block;
        block.position = copy.source->position();
        copy.source->read(slotSamples(index), kMaxBlockFrames);
        copy.nextBlock = index + 1;
        const int64_t moved = static_cast<int64_t>(copy.source->position()) - block.position;
        block.advance = static_cast<int>(std::clamp<int64_t>(moved, 0, kMaxBlockFrames));
        block.length = copy.source->length();
        block.index = index;
        bool wake;
        {
            std::lock_guard<WaitLock> hold(lock);
            blocks[index % kSlots] = block;
            int inRow = 0;
            while (inRow < kWakeBlocks && ready(consumed + inRow))
                ++inRow;
            wake = readerWaiting && inRow == kWakeBlocks;
        }
        if (wake)
            changed.notifyAll();
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
        {
            std::lock_guard<WaitLock> hold(lock);
            if (!ready(consumed)) {
                // Woken once a few blocks are ready rather than for each one.
                readerWaiting = true;
                changed.wait(lock, [&] {
                    for (int i = 0; i < kWakeBlocks; ++i)
                        if (!ready(consumed + i))
                            return false;
                    return true;
                });
                readerWaiting = false;
            }
        }
        const Block& block = blocks[consumed % kSlots];
        const int run = std::min(frames, kMaxBlockFrames - offset);
        std::memcpy(out, slotSamples(consumed) + static_cast<size_t>(offset) * channels,
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
            bool wake;
            {
                std::lock_guard<WaitLock> hold(lock);
                ++consumed;
                wake = renderersWaiting > 0 && claimed - consumed <= kSlots / 2;
            }
            if (wake)
                changed.notifyAll();
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
