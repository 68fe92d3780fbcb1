#include "render/block_queue.h"

#include <mutex>
#include <new>

namespace zelvaro {

BlockQueue::BlockQueue(int slotCount, size_t slotSamples, int wake)
    : slots(slotCount), slotSize(slotSamples), wakeBlocks(wake) {
    samples.reset(new (std::nothrow) int32_t[static_cast<size_t>(slots) * slotSize]);
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

bool BlockQueue::readyInRow(int count) const {
    for (int i = 0; i < count; ++i)
        if (readyBlock[place(consumed + i)] != consumed + i)
            return false;
    return true;
}

bool BlockQueue::claim(int& block, int& slot) {
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

void BlockQueue::publish(int block) {
    bool wake;
    {
        std::lock_guard<WaitLock> hold(lock);
        readyBlock[place(block)] = block;
        wake = consumerWaiting && readyInRow(wakeBlocks);
    }
    if (wake)
        changed.notifyAll();
}

int BlockQueue::take() {
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

void BlockQueue::release() {
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

void BlockQueue::close() {
    {
        std::lock_guard<WaitLock> hold(lock);
        closed = true;
    }
    changed.notifyAll();
}

}  // namespace zelvaro
