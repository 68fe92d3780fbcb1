#include "app/render/block_writer.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <system_error>

namespace zelvaro {

BlockWriter::BlockWriter(SoundSink* target) : sink(target) {
    slotSize = static_cast<size_t>(kMaxBlockFrames) * sink->channels;
    samples.reset(new (std::nothrow) int32_t[kSlots * slotSize]);
    direct = !samples;
}

BlockWriter::~BlockWriter() {
    drain();
}

void BlockWriter::write(const int32_t* block, int frames) {
    if (frames <= 0)
        return;
    frames = std::min(frames, kMaxBlockFrames);
    if (!direct && !worker.joinable()) {
        try {
            worker = std::thread(&BlockWriter::writeBlocks, this);
        } catch (const std::system_error&) {
            direct = true;
        }
    }
    if (direct) {
        if (writeError())
            return;
        sink->write(block, frames);
        failed.store(sink->writeError(), std::memory_order_release);
        return;
    }
    int index;
    {
        std::unique_lock<std::mutex> hold(lock);
        // A full queue is refilled from half full: every sleep and wake-up
        // of a thread costs about as much as a block's work.
        if (queued - written >= kSlots) {
            loopWaiting = true;
            changed.wait(hold, [&] { return queued - written <= kSlots / 2; });
            loopWaiting = false;
        }
        index = queued;
    }
    // The slot is the loop's alone until `queued` passes it.
    std::memcpy(slotSamples(index), block, sizeof(int32_t) * static_cast<size_t>(frames) * sink->channels);
    frameCounts[index % kSlots] = frames;
    bool wake;
    {
        std::lock_guard<std::mutex> hold(lock);
        queued = index + 1;
        wake = writerWaiting && queued - written >= kWakeBlocks;
    }
    if (wake)
        changed.notify_all();
}

void BlockWriter::writeBlocks() {
    for (;;) {
        int index;
        {
            std::unique_lock<std::mutex> hold(lock);
            if (queued == written && !closing) {
                // Woken once a few blocks are queued rather than for each one.
                writerWaiting = true;
                changed.wait(hold, [&] { return closing || queued - written >= kWakeBlocks; });
                writerWaiting = false;
            }
            if (queued == written)
                return;  // closing, and nothing left to write
            index = written;
        }
        // After an error the rest is dropped: the sink would refuse it anyway,
        // and the loop stops as soon as it sees the error.
        if (!writeError()) {
            sink->write(slotSamples(index), frameCounts[index % kSlots]);
            if (sink->writeError())
                failed.store(true, std::memory_order_release);
        }
        bool wake;
        {
            std::lock_guard<std::mutex> hold(lock);
            written = index + 1;
            wake = loopWaiting && queued - written <= kSlots / 2;
        }
        if (wake)
            changed.notify_all();
    }
}

void BlockWriter::drain() {
    if (!worker.joinable())
        return;
    {
        std::lock_guard<std::mutex> hold(lock);
        closing = true;
    }
    changed.notify_all();
    worker.join();
    closing = false;
}

}  // namespace zelvaro
