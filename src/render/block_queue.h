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
#include <mutex>
#include <new>

#include "base/wait_lock.h"

namespace zelvaro {

template <typename Sample>
class BasicBlockQueue {
public:
    // `slots` blocks of `slotSamples` samples. A waiting consumer is woken
    // once `wakeBlocks` blocks in a row are ready rather than for each one,
    // and waiting producers once half the slots are free again: every sleep
    // and wake-up of a thread costs about as much as a block's work.
    BasicBlockQueue(int slots, size_t slotSamples, int wakeBlocks);
    BasicBlockQueue(const BasicBlockQueue&) = delete;
    BasicBlockQueue& operator=(const BasicBlockQueue&) = delete;

    // False when there was no memory for the slots; nothing else may then be
    // called but slotCount.
    bool usable() const { return samples != nullptr; }
    int slotCount() const { return slots; }
    // Where a block's own notes (its length, its position) go: unique among
    // the blocks claimed and not yet released.
    int place(int block) const { return block % slots; }
    Sample* slotSamples(int slot) { return samples.get() + static_cast<size_t>(slot) * slotSize; }

    // Producer: the next block number and a free slot for it, the slot the
    // producer's alone until it publishes the block. Waits while no slot is
    // free. False once the queue is closed.
    bool claim(int& block, int& slot);
    // Producer: the block claimed is filled.
    void publish(int block);

    // Consumer: the slot of the next block in order, waiting until it is
    // ready: when it is not, until `wakeBlocks` blocks in a row are, so
    // producers must go on claiming and publishing until the queue is
    // closed. -1 when the queue is closed and that block is not ready.
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
    std::unique_ptr<Sample[]> samples;
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

template <typename Sample>
BasicBlockQueue<Sample>::BasicBlockQueue(int slotCount, size_t slotSamples, int wake)
    : slots(slotCount), slotSize(slotSamples), wakeBlocks(wake) {
    samples.reset(new (std::nothrow) Sample[static_cast<size_t>(slots) * slotSize]);
    freeSlots.reset(new (std::nothrow) int[slots]);
    slotOf.reset(new (std::nothrow) int[slots]);
    readyBlock.reset(new (std::nothrow) int[slots]);
    if (!freeSlots || !slotOf || !readyBlock) {
        samples.reset();
        return;
    }
    // Slot 0 on top, handed out first.
    for (int i = 0; i < slots; ++i) {
        freeSlots[i] = slots - 1 - i;
        readyBlock[i] = -1;
    }
    freeCount = slots;
}

template <typename Sample>
bool BasicBlockQueue<Sample>::readyInRow(int count) const {
    for (int i = 0; i < count; ++i)
        if (readyBlock[place(consumed + i)] != consumed + i)
            return false;
    return true;
}

template <typename Sample>
bool BasicBlockQueue<Sample>::claim(int& block, int& slot) {
    std::lock_guard<WaitLock> hold(lock);
    if (freeCount == 0 && !closed) {
        ++producersWaiting;
        changed.wait(lock, [&] { return closed || freeCount >= slots - slots / 2; });
        --producersWaiting;
    }
    if (closed)
        return false;
    block = claimed++;
    slot = freeSlots[--freeCount];
    slotOf[place(block)] = slot;
    return true;
}

template <typename Sample>
void BasicBlockQueue<Sample>::publish(int block) {
    bool wake;
    {
        std::lock_guard<WaitLock> hold(lock);
        readyBlock[place(block)] = block;
        wake = consumerWaiting && readyInRow(wakeBlocks);
    }
    if (wake)
        changed.notifyAll();
}

template <typename Sample>
int BasicBlockQueue<Sample>::take() {
    std::lock_guard<WaitLock> hold(lock);
    if (!readyInRow(1)) {
        consumerWaiting = true;
        // On closing, whatever was published is still taken; a block claimed
        // and never published is not waited for.
        changed.wait(lock, [&] { return closed || readyInRow(wakeBlocks); });
        consumerWaiting = false;
    }
    return readyInRow(1) ? slotOf[place(consumed)] : -1;
}

template <typename Sample>
void BasicBlockQueue<Sample>::release() {
    bool wake;
    {
        std::lock_guard<WaitLock> hold(lock);
        freeSlots[freeCount++] = slotOf[place(consumed)];
        readyBlock[place(consumed)] = -1;
        ++consumed;
        wake = producersWaiting > 0 && freeCount >= slots - slots / 2;
    }
    if (wake)
        changed.notifyAll();
}

template <typename Sample>
void BasicBlockQueue<Sample>::close() {
    {
        std::lock_guard<WaitLock> hold(lock);
        closed = true;
    }
    changed.notifyAll();
}

// The render threads' and the file writer's blocks: the chain's samples.
using BlockQueue = BasicBlockQueue<int32_t>;

}  // namespace zelvaro
