// Runs a source on a thread of its own, a few blocks ahead of its consumer, so
// that a render's generator and its limiter, sample conversion and file writes
// share the machine's cores. Delivers exactly the samples the source would
// have delivered read directly.
#pragma once

#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

#include "signal/sound_filter.h"

namespace zelvaro {

class ReadAheadSource : public SoundFilter {
public:
    // Reads `source` in blocks of kMaxBlockFrames on a thread started by the
    // first read. Without a thread (none could be started, or no memory for
    // the blocks) it reads the source directly instead.
    explicit ReadAheadSource(const SoundSourceRef& source);
    ~ReadAheadSource() override;

    void read(int32_t* samples, int frames) override;
    // Stops the reader and seeks the source; the next read starts it again.
    void seek(int frame) override;
    // What the source reported for the frames delivered so far, and its
    // length as last read; neither calls the source, which belongs to the
    // reader thread.
    int position() override;
    int length() override;

    // True while a reader thread runs; false before the first read and when
    // reads go straight through.
    bool readingAhead() const { return worker.joinable(); }

private:
    struct Block {
        int position = 0;  // the source's position before the block was read
        int advance = 0;   // how far that read moved it (0 for a generator that never ends)
        int length = 0;    // the source's length after the read
    };

    void start();
    void stop();
    void readBlocks();
    Block& slot(int index) { return blocks[index % kSlots]; }
    int32_t* slotSamples(int index) { return samples.get() + static_cast<size_t>(index % kSlots) * slotSize; }

    static constexpr int kSlots = 8;
    // Blocks ready before a waiting consumer is woken.
    static constexpr int kWakeBlocks = 3;
    size_t slotSize = 0;
    std::unique_ptr<int32_t[]> samples;
    Block blocks[kSlots];

    std::thread worker;
    std::mutex lock;
    std::condition_variable changed;
    bool stopping = false;
    bool started = false;
    bool readerWaiting = false;
    bool consumerWaiting = false;
    // Blocks read by the worker and blocks handed on; both only grow.
    int produced = 0;
    int consumed = 0;

    // The consumer's place within block `consumed`.
    int offset = 0;
    int reportedPosition = 0;
    int reportedLength = 0;
};

}  // namespace zelvaro
