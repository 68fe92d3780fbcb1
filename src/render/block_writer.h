// Hands the render loop's blocks to a sink on a thread of its own, so that
// the sink's sample conversion, file writes and header flushes (each of which
// waits for the disk) run beside the loop instead of holding it up. The sink
// receives exactly the blocks it would have received from the loop, and none
// after its first write error.
#pragma once

#include <atomic>
#include <thread>
#include <vector>

#include "render/block_queue.h"
#include "wavefile/sound_sink.h"

namespace zelvaro {

class BlockWriter {
public:
    // The sink belongs to the writer's thread from the first commit until
    // drain (or the destructor) returns.
    explicit BlockWriter(SoundSink* sink);
    ~BlockWriter();
    BlockWriter(const BlockWriter&) = delete;
    BlockWriter& operator=(const BlockWriter&) = delete;

    // Room for the next block, kMaxBlockFrames frames, for the loop to render
    // into; waits while the queue is full. The same room until it is
    // committed. Null when there is no memory for any.
    int32_t* nextBlock();
    // Queues the first `frames` frames (at most kMaxBlockFrames) of the room
    // nextBlock gave.
    void commit(int frames);
    // Whether the sink has reported a write error for a block handed to it so
    // far; an error shows here once the writer reaches that block.
    bool writeError() const { return failed.load(std::memory_order_acquire); }
    // Waits until every queued block has reached the sink and stops the
    // thread; the writer takes no more blocks after it.
    void drain();

    // Blocks the loop may run ahead of the sink: 64, about 12 s of 44.1 kHz
    // stereo, enough to cover the waits of a header flush.
    static constexpr int kQueueBlocks = 64;

private:
    void writeBlocks();

    // Blocks queued before a waiting writer is woken.
    static constexpr int kWakeBlocks = 3;
    SoundSink* sink;
    size_t slotSize = 0;
    BlockQueue queue;
    int filling = -1;               // the block nextBlock gave, until committed
    int fillingSlot = -1;
    int frameCounts[kQueueBlocks] = {};  // by the block's place in the queue
    int writtenBlocks = 0;               // the writer thread's own count
    std::vector<int32_t> directBlock;    // without a queue and a thread

    std::thread worker;
    bool direct = false;  // no thread: write straight through
    std::atomic<bool> failed{false};
};

}  // namespace zelvaro
