// Threads that render a generator ahead of its reader, one copy of the
// generator each: every thread takes the next block number as soon as a slot
// is free, brings its copy there and renders the block; the reader takes the
// blocks in number order. The render threads of the chain and of the pure
// path both run on it.
#pragma once

#include <algorithm>
#include <cstring>
#include <exception>
#include <functional>
#include <memory>
#include <new>
#include <thread>
#include <vector>

#include "render/block_queue.h"

namespace zelvaro {

template <typename Sample>
class BlockRenderers {
public:
    // Renders block `block` with copy `copy` into `samples`; called on the
    // copy's own thread, for block numbers that only grow.
    using RenderFunction = std::function<void(size_t copy, int block, Sample* samples)>;

    // Blocks of `blockFrames` frames, kSlots of them in flight.
    BlockRenderers(int blockFrames, RenderFunction render) : frames(blockFrames), renderBlock(std::move(render)) {}
    ~BlockRenderers() { stop(); }
    BlockRenderers(const BlockRenderers&) = delete;
    BlockRenderers& operator=(const BlockRenderers&) = delete;

    // Starts a thread for each of `copies` copies rendering frames of
    // `channels` samples; false when none could be had (no memory, no
    // threads), and the caller then reads a copy directly. One thread alone
    // still renders beside the reader's own work.
    bool start(size_t copies, int channels) {
        copyCount = copies;
        channelCount = channels;
        queue.reset(new (std::nothrow)
                        BasicBlockQueue<Sample>(kSlots, static_cast<size_t>(frames) * channelCount, kWakeBlocks));
        if (!queue || !queue->usable() || copyCount == 0)
            return false;
        try {
            // Room for every thread first: a thread once started must be joined.
            threads.reserve(copyCount);
        } catch (const std::bad_alloc&) {
            return false;
        }
        for (size_t copy = 0; copy < copyCount; ++copy) {
            try {
                threads.emplace_back(&BlockRenderers::renderBlocks, this, copy);
            } catch (const std::exception&) {
                break;  // no thread, or no memory for one: fewer give the same samples
            }
        }
        return !threads.empty();
    }

    void stop() {
        if (threads.empty())
            return;
        queue->close();
        for (std::thread& thread : threads)
            thread.join();
        threads.clear();
    }

    int running() const { return static_cast<int>(threads.size()); }
    // Blocks in flight at most: block notes kept by place need this many.
    static constexpr int kSlots = 16;
    // Where block `block`'s own notes go while it is in flight.
    int place(int block) const { return queue->place(block); }

    // Copies `count` frames of the blocks in order into `out`. After each
    // run, `done(block, offset)` is told the block it came from and the
    // reader's place within it.
    template <class Done>
    void read(Sample* out, int count, Done done) {
        while (count > 0) {
            if (reading < 0)
                reading = queue->take();  // the renderers never stop while the reader reads
            const int run = std::min(count, frames - offset);
            std::memcpy(out, queue->slotSamples(reading) + static_cast<size_t>(offset) * channelCount,
                        sizeof(Sample) * static_cast<size_t>(run) * channelCount);
            out += static_cast<size_t>(run) * channelCount;
            count -= run;
            offset += run;
            done(readBlock, offset);
            if (offset == frames) {
                offset = 0;
                reading = -1;
                ++readBlock;
                queue->release();
            }
        }
    }

private:
    void renderBlocks(size_t copy) {
        int block;
        int slot;
        while (queue->claim(block, slot)) {
            renderBlock(copy, block, queue->slotSamples(slot));
            queue->publish(block);
        }
    }

    // Blocks ready in a row before a waiting reader is woken.
    static constexpr int kWakeBlocks = 3;
    const int frames;
    RenderFunction renderBlock;
    size_t copyCount = 0;
    int channelCount = 1;
    std::unique_ptr<BasicBlockQueue<Sample>> queue;
    std::vector<std::thread> threads;
    int reading = -1;   // the slot of the block being read, -1 between blocks
    int readBlock = 0;  // its number
    int offset = 0;     // the reader's place within it
};

}  // namespace zelvaro
