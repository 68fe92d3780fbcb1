// Renders a generator ahead of its reader, on threads of its own. Each thread
// has its own copy of the generator and takes the next block to render as
// soon as one is free, skipping the blocks the others took; so the cores
// share the work evenly whatever the generator is made of, and the render
// loop's limiter, conversion and writes run beside it. Delivers exactly the
// samples and positions the first copy would deliver read directly.
#pragma once

#include <vector>

#include "render/block_renderers.h"
#include "signal/sound_source.h"

namespace zelvaro {

class ParallelRenderSource : public SoundSource {
public:
    // Moves a copy on by `frames` frames as reading them would.
    using SkipFunction = void (*)(SoundSource& copy, int frames);

    // `copies` deliver the same samples and each gets a thread, started by
    // the first read; with no way to skip, only the first is used. Fails
    // when a copy is missing, failed or of another format; reads the first
    // copy in the caller's thread when no thread or no memory can be had.
    ParallelRenderSource(std::vector<SoundSourceRef> copies, SkipFunction skip);
    ~ParallelRenderSource() override;

    void read(int32_t* samples, int frames) override;
    // What the copies reported for the frames delivered so far, and the
    // length as last read. Like the generators it serves, it ignores seeks.
    int position() override;
    int length() override;

    // Threads rendering now: 0 before the first read and when reading
    // directly.
    int runningThreads() const { return renderers.running(); }

private:
    struct Copy {
        SoundSourceRef source;
        int nextBlock = 0;  // the block the copy is at
    };
    struct Block {
        int position = 0;  // the copy's position before the block
        int advance = 0;   // how far the block moved it (0 for a generator that never ends)
        int length = 0;    // the copy's length after it
    };

    void renderBlock(size_t copy, int block, int32_t* samples);

    std::vector<Copy> copies;
    SkipFunction skip;
    BlockRenderers<int32_t> renderers;
    Block blocks[BlockRenderers<int32_t>::kSlots];  // by the block's place in flight
    bool started = false;
    bool threaded = false;

    int reportedPosition = 0;
    int reportedLength = 0;
};

}  // namespace zelvaro
