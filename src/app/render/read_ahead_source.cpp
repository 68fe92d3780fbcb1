#include "app/render/read_ahead_source.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <system_error>

namespace zelvaro {

ReadAheadSource::ReadAheadSource(const SoundSourceRef& source) : SoundFilter(source) {
    if (failed())
        return;
    slotSize = static_cast<size_t>(kMaxBlockFrames) * channels;
    samples.reset(new (std::nothrow) int32_t[kSlots * slotSize]);
    reportedPosition = upstream->position();
    reportedLength = upstream->length();
}

ReadAheadSource::~ReadAheadSource() {
    stop();
}

void ReadAheadSource::start() {
    stopping = false;
    produced = consumed = 0;
    offset = 0;
    started = true;
    if (!samples)
        return;
    try {
        worker = std::thread(&ReadAheadSource::readBlocks, this);
    } catch (const std::system_error&) {
        // Reading in the caller's thread is slower but gives the same samples.
    }
}

void ReadAheadSource::stop() {
    if (!worker.joinable())
        return;
    {
        std::lock_guard<std::mutex> hold(lock);
        stopping = true;
    }
    changed.notify_all();
    worker.join();
}

void ReadAheadSource::readBlocks() {
    for (int index = 0;; ++index) {
        {
            std::unique_lock<std::mutex> hold(lock);
            // A full ring is refilled from half full: every sleep and wake-up
            // of a thread costs about as much as rendering a block.
            if (index - consumed >= kSlots) {
                readerWaiting = true;
                changed.wait(hold, [&] { return stopping || index - consumed <= kSlots / 2; });
                readerWaiting = false;
            }
            if (stopping)
                return;
        }
        // The slot is the worker's alone until `produced` passes it.
        Block& block = slot(index);
        block.position = upstream->position();
        upstream->read(slotSamples(index), kMaxBlockFrames);
        const int64_t moved = static_cast<int64_t>(upstream->position()) - block.position;
        block.advance = static_cast<int>(std::clamp<int64_t>(moved, 0, kMaxBlockFrames));
        block.length = upstream->length();
        bool wake;
        {
            std::lock_guard<std::mutex> hold(lock);
            produced = index + 1;
            wake = consumerWaiting && produced - consumed >= kWakeBlocks;
        }
        if (wake)
            changed.notify_all();
    }
}

void ReadAheadSource::read(int32_t* out, int frames) {
    if (frames <= 0)
        return;
    // The thread starts with the first read, so a job refused before it
    // reads anything costs no thread.
    if (!started)
        start();
    if (!readingAhead()) {
        pull(out, frames);
        if (upstream) {
            reportedPosition = upstream->position();
            reportedLength = upstream->length();
        }
        return;
    }
    while (frames > 0) {
        {
            std::unique_lock<std::mutex> hold(lock);
            if (produced == consumed) {
                // Woken once a few blocks are ready rather than for each one.
                consumerWaiting = true;
                changed.wait(hold, [&] { return produced - consumed >= kWakeBlocks; });
                consumerWaiting = false;
            }
        }
        const Block& block = slot(consumed);
        const int run = std::min(frames, kMaxBlockFrames - offset);
        std::memcpy(out, slotSamples(consumed) + static_cast<size_t>(offset) * channels,
                    sizeof(int32_t) * static_cast<size_t>(run) * channels);
        out += static_cast<size_t>(run) * channels;
        frames -= run;
        offset += run;
        // A source moves one frame per frame read until its end, where it
        // stops; one that never moves keeps its position.
        reportedPosition = block.position + std::min(offset, block.advance);
        reportedLength = block.length;
        if (offset == kMaxBlockFrames) {
            offset = 0;
            bool wake;
            {
                std::lock_guard<std::mutex> hold(lock);
                ++consumed;
                wake = readerWaiting && produced - consumed <= kSlots / 2;
            }
            if (wake)
                changed.notify_all();
        }
    }
}

void ReadAheadSource::seek(int frame) {
    if (!upstream)
        return;
    stop();
    upstream->seek(frame);
    reportedPosition = upstream->position();
    reportedLength = upstream->length();
    // The next read starts reading ahead again from here.
    started = false;
}

int ReadAheadSource::position() {
    return reportedPosition;
}

int ReadAheadSource::length() {
    return reportedLength;
}

}  // namespace zelvaro
