#include "render/block_writer.h"

#include <algorithm>
#include <exception>
#include <new>

namespace zelvaro {

BlockWriter::BlockWriter(SoundSink* target)
    : sink(target),
      slotSize(static_cast<size_t>(kMaxBlockFrames) * target->channels),
      queue(kQueueBlocks, slotSize, kWakeBlocks) {
    direct = !queue.usable();
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
        if (queue.usable())
            return queue.slotSamples(0);
        if (directBlock.empty()) {
            try {
                directBlock.resize(slotSize);
            } catch (const std::bad_alloc&) {
                return nullptr;  // nowhere to render
            }
        }
        return directBlock.data();
    }
    // The block stays the loop's until it is committed, however often it asks.
    if (filling < 0 && !queue.claim(filling, fillingSlot))
        return nullptr;
    return queue.slotSamples(fillingSlot);
}

void BlockWriter::commit(int frames) {
    frames = std::min(frames, kMaxBlockFrames);
    if (frames <= 0)
        return;
    if (direct) {
        if (writeError() || (!queue.usable() && directBlock.empty()))
            return;
        sink->write(queue.usable() ? queue.slotSamples(0) : directBlock.data(), frames);
        failed.store(sink->writeError(), std::memory_order_release);
        return;
    }
    if (filling < 0)
        return;
    frameCounts[queue.place(filling)] = frames;
    queue.publish(filling);
    filling = -1;
}

void BlockWriter::writeBlocks() {
    for (;;) {
        const int slot = queue.take();
        if (slot < 0)
            return;  // closing, and nothing left to write
        // After an error the rest is dropped: the sink would refuse it anyway,
        // and the loop stops as soon as it sees the error.
        if (!writeError()) {
            sink->write(queue.slotSamples(slot), frameCounts[queue.place(writtenBlocks)]);
            if (sink->writeError())
                failed.store(true, std::memory_order_release);
        }
        ++writtenBlocks;
        queue.release();
    }
}

void BlockWriter::drain() {
    if (!worker.joinable())
        return;
    queue.close();
    worker.join();
}

}  // namespace zelvaro
