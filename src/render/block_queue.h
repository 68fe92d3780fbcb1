// A queue of sample blocks that threads hand on in order. Producers claim the
// next block number with a free slot to fill and mark the block ready when it
// is filled, in any order; one consumer takes the blocks in number order and
// frees their slots. Both the render threads (several producers, the render
// loop consuming) and the file writer (the loop producing, one writer thread
// consuming) go through it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "base/wait_lock.h"

namespace zelvaro {

class BlockQueue {
public:
    // `slots` blocks of `slotSamples` samples. A waiting consumer is woken
    // once `wakeBlocks` blocks in a row are ready rather than for each one,
    // and waiting producers once half the slots are free again: every sleep
    // and wake-up of a thread costs about as much as a block's work.
    BlockQueue(int slots, size_t slotSamples, int wakeBlocks);
    BlockQueue(const BlockQueue&) = delete;
    BlockQueue& operator=(const BlockQueue&) = delete;

    // False when there was no memory for the slots; nothing else may then be
    // called but slotCount.
    bool usable() const { return samples != nullptr; }
    int slotCount() const { return slots; }
    // Where a block's own notes (its length, its position) go: unique among
    // the blocks claimed and not yet released.
    int place(int block) const { return block % slots; }
    int32_t* slotSamples(int slot) { return samples.get() + static_cast<size_t>(slot) * slotSize; }

    // Producer: the next block number and a free slot for it, the slot the
    // producer's alone until it publishes the block. Waits while no slot is
    // free. False once the queue is closed.
    bool claim(int& block, int& slot);
    // Producer: the block claimed is filled.
    void publish(int block);

    // Consumer: the slot of the next block in order, waiting until it is
    // ready. -1 when the queue is closed and that block was never claimed.
    int take();
    // Consumer: done with the block take gave; its slot is free again.
    void release();

    // Producers stop claiming; the consumer still takes what was published.
    void close();

private:
    bool readyInRow(int count) const;

    const int slots;
    const size_t slotSize;
    const int wakeBlocks;
    std::unique_ptr<int32_t[]> samples;
    // Free slots, the most recently released on top: while the consumer keeps
    // up, producers fill the same few slots, which stay in the cache.
    std::unique_ptr<int[]> freeSlots;
    int freeCount = 0;
    std::unique_ptr<int[]> slotOf;      // by place: the slot holding the block
    std::unique_ptr<int[]> readyBlock;  // by place: the block that is ready there

    WaitLock lock;
    WaitCondition changed;
    bool closed = false;
    bool consumerWaiting = false;
    int producersWaiting = 0;
    int claimed = 0;   // blocks handed to producers; only grows
    int consumed = 0;  // blocks released by the consumer; only grows
};

}  // namespace zelvaro
