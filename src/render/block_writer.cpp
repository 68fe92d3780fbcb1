#include "render/block_writer.h"

#include <algorithm>
#include <exception>
#include <mutex>
#include <new>

namespace zelvaro {

BlockWriter::BlockWriter(SoundSink* target) : sink(target) {
    slotSize = static_cast<size_t>(kMaxBlockFrames) * sink->channels;
    samples.reset(new (std::nothrow) int32_t[kSlots * slotSize]);
    try {
        // Slot 0 on top, handed out first.
        for (int slot = kSlots - 1; slot >= 0; --slot)
            freeSlots.push_back(slot);
    } catch (const std::bad_alloc&) {
        samples.reset();
    }
    direct = !samples;
}

BlockWriter::~BlockWriter() {
    drain();
}

int32_t* BlockWriter::nextBlock() {
    if (!direct && !worker.joinable()) {
        try {
            worker = std::thread(&BlockWriter::writeBlocks, this);
        } catch (const std::exception&) {
            direct = true;  // no thread, or no memory for one
        }
    }
    if (direct) {
        if (samples)
            return slotSamples(0);
        if (directBlock.empty()) {
            try {
                directBlock.resize(slotSize);
            } catch (const std::bad_alloc&) {
                return nullptr;  // nowhere to render
            }
        }
        return directBlock.data();
    }
    if (filling < 0) {
        std::lock_guard<WaitLock> hold(lock);
        // A full queue is refilled from half full: every sleep and wake-up
        // of a thread costs about as much as a block's work.
        if (freeSlots.empty()) {
            loopWaiting = true;
            changed.wait(lock, [&] { return queued - written <= kSlots / 2; });
            loopWaiting = false;
        }
        filling = freeSlots.back();
        freeSlots.pop_back();
    }
    // The slot is the loop's alone until it is committed.
    return slotSamples(filling);
}

void BlockWriter::commit(int frames) {
    frames = std::min(frames, kMaxBlockFrames);
    if (frames <= 0)
        return;
    if (direct) {
        if (writeError() || (!samples && directBlock.empty()))
            return;
        sink->write(samples ? slotSamples(0) : directBlock.data(), frames);
        failed.store(sink->writeError(), std::memory_order_release);
        return;
    }
    if (filling < 0)
        return;
    bool wake;
    {
        std::lock_guard<WaitLock> hold(lock);
        queuedSlot[queued % kSlots] = filling;
        frameCounts[queued % kSlots] = frames;
        filling = -1;
        ++queued;
        wake = writerWaiting && queued - written >= kWakeBlocks;
    }
    if (wake)
        changed.notifyAll();
}

void BlockWriter::writeBlocks() {
    for (;;) {
        int slot;
        int frames;
        {
            std::lock_guard<WaitLock> hold(lock);
            if (queued == written && !closing) {
                // Woken once a few blocks are queued rather than for each one.
                writerWaiting = true;
                changed.wait(lock, [&] { return closing || queued - written >= kWakeBlocks; });
                writerWaiting = false;
            }
            if (queued == written)
                return;  // closing, and nothing left to write
            slot = queuedSlot[written % kSlots];
            frames = frameCounts[written % kSlots];
        }
        // After an error the rest is dropped: the sink would refuse it anyway,
        // and the loop stops as soon as it sees the error.
        if (!writeError()) {
            sink->write(slotSamples(slot), frames);
            if (sink->writeError())
                failed.store(true, std::memory_order_release);
        }
        bool wake;
        {
            std::lock_guard<WaitLock> hold(lock);
            freeSlots.push_back(slot);
            ++written;
            wake = loopWaiting && queued - written <= kSlots / 2;
        }
        if (wake)
            changed.notifyAll();
    }
}

void BlockWriter::drain() {
    if (!worker.joinable())
        return;
    {
        std::lock_guard<WaitLock> hold(lock);
        closing = true;
    }
    changed.notifyAll();
    worker.join();
    closing = false;
}

}  // namespace zelvaro
