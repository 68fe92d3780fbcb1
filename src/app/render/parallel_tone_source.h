// Renders a tone on several threads at once. Each thread has its own copy of
// the generator and takes the next block to render as soon as it is free,
// skipping the blocks the others took; so the cores share the work evenly
// whatever the tone is made of, and the one reading is never left waiting on
// one slow share. Delivers exactly the samples and positions of one ToneSource.
#pragma once

#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "signal/sound_source.h"
#include "signal/tone_source.h"
#include "tone/tone_settings.h"

namespace zelvaro {

class ParallelToneSource : public SoundSource {
public:
    // Up to `threads` threads, started by the first read. Fails when no
    // generator could be made; reads in the caller's thread when no thread
    // could be started.
    ParallelToneSource(const ToneSettings& tone, int threads);
    ~ParallelToneSource() override;

    void read(int32_t* samples, int frames) override;
    // What the generator reported for the frames delivered so far, and its
    // length as last read. Like the generator, it ignores seeks.
    int position() override;
    int length() override;

    // Threads rendering now: 0 before the first read and when reading
    // directly.
    int runningThreads() const { return static_cast<int>(threads.size()); }

private:
    struct Copy {
        std::unique_ptr<ToneSource> source;
        int nextBlock = 0;  // the block the copy is at
    };
    struct Block {
        int index = -1;    // the block the slot holds once it is ready
        int position = 0;  // the generator's position before the block
        int advance = 0;   // how far the block moved it
        int length = 0;    // the generator's length after it
    };

    void start();
    void stop();
    void renderBlocks(Copy& copy);
    bool ready(int index) const { return blocks[index % kSlots].index == index; }
    int32_t* slotSamples(int index) { return samples.get() + static_cast<size_t>(index % kSlots) * slotSize; }

    static constexpr int kSlots = 16;
    // Blocks ready in a row before a waiting reader is woken.
    static constexpr int kWakeBlocks = 3;
    std::vector<Copy> copies;
    size_t slotSize = 0;
    std::unique_ptr<int32_t[]> samples;
    Block blocks[kSlots];

    std::vector<std::thread> threads;
    std::mutex lock;
    std::condition_variable changed;
    bool started = false;
    bool stopping = false;
    bool readerWaiting = false;
    int renderersWaiting = 0;
    int claimed = 0;   // blocks taken by the threads; only grows
    int consumed = 0;  // blocks handed on; only grows

    int offset = 0;  // the reader's place within block `consumed`
    int reportedPosition = 0;
    int reportedLength = 0;
};

}  // namespace zelvaro
