#include "app/render/parallel_tone_source.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <system_error>

namespace zelvaro {

ParallelToneSource::ParallelToneSource(const ToneSettings& tone, int threadCount)
    : SoundSource(44100, 2097152, tone.stereo() ? 2 : 1) {
    std::unique_ptr<ToneSource> first(new (std::nothrow) ToneSource(tone));
    if (!first || first->failed()) {
        markFailed();
        return;
    }
    peakLevel = first->peakLevel;
    channels = first->channels;
    reportedPosition = first->position();
    reportedLength = first->length();
    // The copies read the first one's wavetable, which takes as long to fill
    // as seconds of the tone take to render.
    const auto table = first->sharedTable();
    copies.push_back(Copy{std::move(first)});
    for (int i = 1; i < threadCount; ++i) {
        std::unique_ptr<ToneSource> copy(new (std::nothrow) ToneSource(tone, table));
        if (!copy || copy->failed())
            break;
        copies.push_back(Copy{std::move(copy)});
    }
    slotSize = static_cast<size_t>(kMaxBlockFrames) * channels;
    samples.reset(new (std::nothrow) int32_t[kSlots * slotSize]);
}

ParallelToneSource::~ParallelToneSource() {
    stop();
}

void ParallelToneSource::start() {
    started = true;
    if (!samples)
        return;
    for (Copy& copy : copies) {
        try {
            threads.emplace_back(&ParallelToneSource::renderBlocks, this, std::ref(copy));
        } catch (const std::system_error&) {
            break;  // fewer threads give the same samples
        }
    }
}

void ParallelToneSource::stop() {
    {
        std::lock_guard<std::mutex> hold(lock);
        stopping = true;
    }
    changed.notify_all();
    for (std::thread& thread : threads)
        thread.join();
    threads.clear();
}

void ParallelToneSource::renderBlocks(Copy& copy) {
    for (;;) {
        int index;
        {
            std::unique_lock<std::mutex> hold(lock);
            // A full ring is refilled from half full: every sleep and wake-up
            // of a thread costs about as much as rendering a block.
            if (claimed - consumed >= kSlots) {
                ++renderersWaiting;
                changed.wait(hold, [&] { return stopping || claimed - consumed <= kSlots / 2; });
                --renderersWaiting;
            }
            if (stopping)
                return;
            index = claimed++;
        }
        // The slot is this thread's alone until it is marked ready: the
        // reader has handed on the block it held before.
        for (; copy.nextBlock < index; ++copy.nextBlock)
            copy.source->skip(kMaxBlockFrames);
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
            std::lock_guard<std::mutex> hold(lock);
            blocks[index % kSlots] = block;
            int inRow = 0;
            while (inRow < kWakeBlocks && ready(consumed + inRow))
                ++inRow;
            wake = readerWaiting && inRow == kWakeBlocks;
        }
        if (wake)
            changed.notify_all();
    }
}

void ParallelToneSource::read(int32_t* out, int frames) {
    if (frames <= 0)
        return;
    if (copies.empty()) {
        std::memset(out, 0, sizeof(int32_t) * static_cast<size_t>(frames) * channels);
        return;
    }
    // The threads start with the first read, so a job refused before it
    // reads anything costs no thread.
    if (!started)
        start();
    if (threads.empty()) {
        ToneSource& direct = *copies.front().source;
        direct.read(out, frames);
        reportedPosition = direct.position();
        reportedLength = direct.length();
        return;
    }
    while (frames > 0) {
        {
            std::unique_lock<std::mutex> hold(lock);
            if (!ready(consumed)) {
                // Woken once a few blocks are ready rather than for each one.
                readerWaiting = true;
                changed.wait(hold, [&] {
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
        // A generator moves one frame per frame read until its end, where
        // it stops; one that never ends keeps its position.
        reportedPosition = block.position + std::min(offset, block.advance);
        reportedLength = block.length;
        if (offset == kMaxBlockFrames) {
            offset = 0;
            bool wake;
            {
                std::lock_guard<std::mutex> hold(lock);
                ++consumed;
                wake = renderersWaiting > 0 && claimed - consumed <= kSlots / 2;
            }
            if (wake)
                changed.notify_all();
        }
    }
}

int ParallelToneSource::position() {
    return reportedPosition;
}

int ParallelToneSource::length() {
    return reportedLength;
}

}  // namespace zelvaro
