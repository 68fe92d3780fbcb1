// The pure path's tones rendered ahead on threads of their own, as
// ParallelRenderSource does for the chain: each thread has its own copy of
// the tone and takes the next block as soon as one is free, skipping the
// blocks the others took. A constant tone's phases move on exactly by a
// skip, so the samples are those of one copy read directly, whatever the
// number of threads.
#pragma once

#include <memory>
#include <thread>
#include <vector>

#include "render/block_queue.h"
#include "signal/pure_source.h"
#include "tone/tone_settings.h"

namespace zelvaro {

class ParallelPureSource final : public PureSource {
public:
    // Moves a copy on by `frames` frames as reading them would.
    using SkipFunction = void (*)(PureSource& copy, uint64_t frames);

    // `copies`, all alike, each get a thread, started by the first read;
    // with one copy, or when no thread or memory can be had, the first is
    // read in the caller's thread.
    ParallelPureSource(std::vector<PureSourcePtr> copies, SkipFunction skip);
    ~ParallelPureSource() override;

    void read(double* out, int frames) override;

    // Threads rendering now: 0 before the first read and when reading directly.
    int runningThreads() const { return static_cast<int>(threads.size()); }

    static constexpr int kBlockFrames = 8192;

private:
    struct Copy {
        PureSourcePtr source;
        int nextBlock = 0;  // the block the copy is at
    };

    void start();
    void renderBlocks(Copy& copy);

    static constexpr int kSlots = 16;
    static constexpr int kWakeBlocks = 3;
    std::vector<Copy> copies;
    SkipFunction skip;
    std::unique_ptr<BasicBlockQueue<double>> queue;
    std::vector<std::thread> threads;
    bool started = false;
    int reading = -1;  // the slot of the block being read, -1 between blocks
    int offset = 0;    // the reader's place within it
};

// The pure source for a tone record (see createPureSource), rendered by up
// to `threads` threads where the tone allows it: constant tones; sweeps and
// noise are rendered as they are.
PureSourcePtr createPureRenderSource(const ToneSettings& tone, int32_t sampleRate, uint8_t channels, uint64_t seed,
                                     int threads);

// The threads a render may use on this machine: two to four.
int pureRenderThreads();

}  // namespace zelvaro
