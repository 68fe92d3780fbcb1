#include "render/pure_parallel_source.h"

#include <gtest/gtest.h>

#include <vector>

#include "signal/pure_signal_source.h"
#include "signal/tone_records.h"

namespace zelvaro {
namespace {

using test::toneRecord;
using test::withFlags;

// 16 stereo tones of every waveform that can be split, each its own pitch.
ToneSettings sixteenStereo(int waveform) {
    ToneSettings tone = withFlags(toneRecord(waveform, 16), kFlagStereo | kFlagFixedDuration, 5000);
    for (int k = 0; k < 16; ++k) {
        tone.startLeft[k] = tone.endLeft[k] = 110.0 * (k + 1) + 0.37;
        tone.startRight[k] = tone.endRight[k] = 115.0 * (k + 1);
    }
    return tone;
}

std::vector<double> readAll(PureSource& source, int frames, int block) {
    std::vector<double> out(static_cast<size_t>(frames) * source.channels);
    for (int done = 0; done < frames;) {
        const int n = std::min(block, frames - done);
        source.read(out.data() + static_cast<size_t>(done) * source.channels, n);
        done += n;
    }
    return out;
}

// Whatever the threads and the reader's blocks, the samples are those of one
// copy read directly, bit for bit.
TEST(PureParallelSource, GivesTheSamplesOfOneCopyWithAnyNumberOfThreads) {
    constexpr int kFrames = 5 * kMaxBlockFrames + 123;
    for (int waveform : {kWaveSine, kWaveSquare, kWaveSawTooth}) {
        const ToneSettings tone = sixteenStereo(waveform);
        PureSourcePtr plain = createPureSource(tone, 48000, 2, 0);
        const std::vector<double> expected = readAll(*plain, kFrames, kFrames);
        for (int threads : {1, 2, 3, 4})
            for (int block : {1, 999, kMaxBlockFrames, 10000}) {
                if (block == 1 && threads != 2)
                    continue;  // one frame at a time is slow; one thread count shows it
                PureSourcePtr parallel = createPureRenderSource(tone, 48000, 2, 0, threads);
                EXPECT_EQ(parallel->lengthFrames, plain->lengthFrames);
                EXPECT_EQ(readAll(*parallel, kFrames, block), expected)
                    << "waveform " << waveform << ", " << threads << " threads, blocks of " << block;
            }
    }
}

TEST(PureParallelSource, RunsThreadsForConstantTonesOnly) {
    struct Case {
        const char* name;
        ToneSettings tone;
        int threads;  // running after the first read
    } cases[] = {
        {"constant", sixteenStereo(kWaveSine), 2},
        {"one thread asked", sixteenStereo(kWaveSine), 0},
        {"sweep", withFlags(toneRecord(kWaveSine, 4), kFlagSweep | kFlagFixedDuration), -1},
        {"noise", withFlags(toneRecord(kWavePinkNoise), kFlagFixedDuration), -1},
    };
    for (const Case& c : cases) {
        PureSourcePtr source = createPureRenderSource(c.tone, 44100, 2, 7, c.threads == 0 ? 1 : 2);
        double block[2 * 64];
        source->read(block, 64);
        auto* parallel = dynamic_cast<PureParallelSource*>(source.get());
        if (c.threads < 0)
            EXPECT_EQ(parallel, nullptr) << c.name;
        else if (parallel)
            EXPECT_EQ(parallel->runningThreads(), c.threads) << c.name;
        else
            EXPECT_EQ(c.threads, 0) << c.name;
    }
}

// Dropped at any point, with its threads waiting on a full queue or not yet started.
TEST(PureParallelSource, CanBeDroppedAtAnyTime) {
    for (int reads : {0, 1, 40}) {
        PureSourcePtr source = createPureRenderSource(sixteenStereo(kWaveSine), 44100, 2, 0, 3);
        std::vector<double> block(2 * 3000);
        for (int i = 0; i < reads; ++i)
            source->read(block.data(), 3000);
    }
}

}  // namespace
}  // namespace zelvaro
