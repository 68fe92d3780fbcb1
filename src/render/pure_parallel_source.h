// The pure path's tones rendered ahead on threads of their own, as
// ParallelRenderSource does for the chain: each thread has its own copy of
// the tone and takes the next block as soon as one is free, skipping the
// blocks the others took. A constant tone's phases move on exactly by a
// skip, so the samples are those of one copy read directly, whatever the
// number of threads.
#pragma once

#include <vector>

#include "base/block_frames.h"
#include "render/block_renderers.h"
#include "signal/pure_source.h"
#include "tone/tone_settings.h"

namespace zelvaro {

class PureParallelSource final : public PureSource {
public:
    // Moves a copy on by `frames` frames as reading them would.
    using SkipFunction = void (*)(PureSource& copy, uint64_t frames);

    // `copies`, all alike, each get a thread, started by the first read;
    // when no thread or memory can be had, the first is read in the
    // caller's thread.
    PureParallelSource(std::vector<PureSourcePtr> copies, SkipFunction skip);
    ~PureParallelSource() override;

    void read(double* out, int frames) override;

    // Threads rendering now: 0 before the first read and when reading directly.
    int runningThreads() const { return renderers.running(); }

private:
    struct Copy {
        PureSourcePtr source;
        int nextBlock = 0;  // the block the copy is at
    };

    void renderBlock(size_t copy, int block, double* samples);

    std::vector<Copy> copies;
    SkipFunction skip;
    BlockRenderers<double> renderers;
    bool started = false;
    bool threaded = false;
};

// The pure source for a tone record (see createPureSource), rendered by up
// to `threads` threads where the tone allows it: constant tones; sweeps and
// noise are rendered as they are.
PureSourcePtr createPureRenderSource(const ToneSettings& tone, int32_t sampleRate, uint8_t channels, uint64_t seed,
                                     int threads);

// The threads a render may use on this machine: two to four.
int pureRenderThreads();

}  // namespace zelvaro
