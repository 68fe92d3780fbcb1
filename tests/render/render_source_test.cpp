#include "render/render_source.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "render/parallel_render_source.h"
#include "signal/signal_source.h"
#include "signal/tone_source.h"
#include "signal/tone_records.h"

namespace zelvaro {
namespace {

using test::toneRecord;
using test::withFlags;

// Reads `frames` frames in blocks of `block`, recording every sample and the
// position after each read.
struct Reading {
    std::vector<int32_t> samples;
    std::vector<int> positions;
};

Reading readAll(SoundSource& source, int frames, int block) {
    Reading r;
    std::vector<int32_t> buffer(static_cast<size_t>(block) * source.channels);
    for (int done = 0; done < frames; done += block) {
        const int n = std::min(block, frames - done);
        source.read(buffer.data(), n);
        r.samples.insert(r.samples.end(), buffer.begin(), buffer.begin() + static_cast<long>(n) * source.channels);
        r.positions.push_back(source.position());
    }
    return r;
}

// Frame i holds i * 16 until `length`, then silence; the position stops at
// the length, as a file's does, and a seek moves it.
class FiniteSource final : public SoundSource {
public:
    explicit FiniteSource(int frames) : SoundSource(44100, 524288, 2), frames_(frames) {}
    void read(int32_t* samples, int frames) override {
        for (int f = 0; f < frames; ++f, ++pos_)
            samples[2 * f] = samples[2 * f + 1] = pos_ < frames_ ? pos_ * 16 : 0;
        pos_ = std::min(pos_, frames_);
    }
    void seek(int frame) override { pos_ = std::clamp(frame, 0, frames_); }
    int position() override { return pos_; }
    int length() override { return frames_; }

private:
    int frames_;
    int pos_ = 0;
};

ToneSettings amplitudes(ToneSettings tone) {
    tone.flags |= kFlagVariableAmplitude;
    for (int k = 0; k < kMaxTones; ++k) {
        tone.relativeAmplitude[k] = static_cast<int8_t>(k == 3 ? -128 : -3 * k);
        tone.startLeft[k] = tone.endLeft[k] = 110.0 * (k + 1);
        tone.startRight[k] = tone.endRight[k] = 97.0 * (k + 1);
    }
    return tone;
}

ToneSettings sweep(ToneSettings tone, uint16_t extra) {
    tone = withFlags(tone, kFlagFixedDuration | kFlagSweep | extra, 700);
    for (int k = 0; k < kMaxTones; ++k) {
        tone.startLeft[k] = 20.0 + k;
        tone.endLeft[k] = 20000.0 - 100 * k;
        tone.startRight[k] = 15000.0;
        tone.endRight[k] = 40.0 * (k + 1);
    }
    return tone;
}

// The render source must give exactly the samples and positions of the
// plain source, whatever the block size its reader uses.
TEST(RenderSource, MatchesThePlainSourceSampleForSample) {
    const struct {
        const char* name;
        ToneSettings tone;
    } cases[] = {
        {"16 sines mono, fixed", withFlags(toneRecord(kWaveSine, 16, 440.0), kFlagFixedDuration, 600)},
        {"16 squares stereo, amplitudes", amplitudes(withFlags(toneRecord(kWaveSquare, 16), kFlagFixedDuration | kFlagStereo, 500))},
        {"5 triangles stereo log sweep", sweep(toneRecord(kWaveTriangular, 5), kFlagStereo | kFlagLogSweep)},
        {"2 saw teeth linear sweep", sweep(toneRecord(kWaveSawTooth, 2), 0)},
        {"3 impulses stereo", withFlags(toneRecord(kWaveImpulse, 3, 1234.5), kFlagFixedDuration | kFlagStereo, 400)},
        {"7 sines continuous", toneRecord(kWaveSine, 7, 1000.0)},
        {"1 sine fixed", withFlags(toneRecord(kWaveSine, 1), kFlagFixedDuration, 300)},
        {"pink noise", withFlags(toneRecord(kWavePinkNoise, 4), kFlagFixedDuration, 300)},
    };
    for (const auto& c : cases) {
        for (int block : {1, 7, 1260, 8192}) {
            SCOPED_TRACE(std::string(c.name) + ", blocks of " + std::to_string(block));
            SoundSourceRef plain = createSignalSource(c.tone, 7u);
            SoundSourceRef rendered = createRenderSource(c.tone, 7u);
            ASSERT_TRUE(plain.usable());
            ASSERT_TRUE(rendered.usable());
            EXPECT_EQ(rendered->channels, plain->channels);
            EXPECT_EQ(rendered->peakLevel, plain->peakLevel);
            EXPECT_EQ(rendered->length(), plain->length());
            const int frames = block == 1 ? 9000 : 40000;
            const Reading want = readAll(*plain.get(), frames, block);
            const Reading got = readAll(*rendered.get(), frames, block);
            ASSERT_EQ(got.samples, want.samples);
            ASSERT_EQ(got.positions, want.positions);
        }
    }
}

// However many threads render the blocks, and however the reader's blocks
// fall across theirs, the samples and positions are the generator's own,
// through a sweep's end and long past it.
TEST(ParallelRenderSource, MatchesOneGeneratorWithAnyNumberOfThreads) {
    const ToneSettings tone = sweep(toneRecord(kWaveSine, 16), kFlagStereo | kFlagLogSweep);  // 700 ms
    for (int threads : {1, 2, 3, 4}) {
        for (int block : {1260, 8192}) {
            SCOPED_TRACE(std::to_string(threads) + " threads, blocks of " + std::to_string(block));
            ToneSource direct(tone);
            SoundSourceRef rendered = createRenderSource(tone, std::nullopt, threads);
            auto* parallel = dynamic_cast<ParallelRenderSource*>(rendered.get());
            ASSERT_NE(parallel, nullptr);
            EXPECT_EQ(parallel->length(), direct.length());
            const int frames = 50 * 8192 + 77;
            const Reading want = readAll(direct, frames, block);
            const Reading got = readAll(*parallel, frames, block);
            ASSERT_EQ(got.samples, want.samples);
            ASSERT_EQ(got.positions, want.positions);
            EXPECT_EQ(parallel->runningThreads(), threads);
        }
    }
}

void skipBySeeking(SoundSource& copy, int frames) {
    copy.seek(copy.position() + frames);
}

// A source with an end reports, through the threads, the positions it
// reports itself: one frame per frame read, stopping at its length.
TEST(ParallelRenderSource, KeepsThePositionsOfASourceWithAnEnd) {
    for (int copies : {1, 3}) {
        for (int block : {1, 7, 1260, 8192}) {
            SCOPED_TRACE(std::to_string(copies) + " copies, blocks of " + std::to_string(block));
            std::vector<SoundSourceRef> sources;
            for (int i = 0; i < copies; ++i) sources.emplace_back(new FiniteSource(50000));
            ParallelRenderSource parallel(sources, copies > 1 ? skipBySeeking : nullptr);
            EXPECT_EQ(parallel.length(), 50000);
            EXPECT_EQ(parallel.position(), 0);
            FiniteSource direct(50000);
            const int frames = block == 1 ? 20000 : 70000;
            const Reading want = readAll(direct, frames, block);
            const Reading got = readAll(parallel, frames, block);
            ASSERT_EQ(got.samples, want.samples);
            ASSERT_EQ(got.positions, want.positions);
        }
    }
}

TEST(ParallelRenderSource, RefusesCopiesThatDoNotMatch) {
    EXPECT_TRUE(ParallelRenderSource({}, nullptr).failed());
    EXPECT_TRUE(ParallelRenderSource({SoundSourceRef()}, nullptr).failed());
    std::vector<SoundSourceRef> mixed{SoundSourceRef(new FiniteSource(10)),
                                      SoundSourceRef(new ToneSource(toneRecord()))};  // stereo and mono
    EXPECT_TRUE(ParallelRenderSource(mixed, skipBySeeking).failed());
}

// Dropping the source before or after its first read, with its threads
// waiting or rendering, stops them without a hang or a leak.
TEST(ParallelRenderSource, CanBeDroppedAtAnyTime) {
    for (int reads : {0, 1, 3, 50}) {
        SoundSourceRef rendered = createRenderSource(toneRecord(kWaveSquare, 3), std::nullopt, 3);
        std::vector<int32_t> buffer(8192);
        for (int i = 0; i < reads; ++i) rendered->read(buffer.data(), 8192);
        EXPECT_EQ(static_cast<ParallelRenderSource*>(rendered.get())->runningThreads(), reads > 0 ? 3 : 0);
    }
}

}  // namespace
}  // namespace zelvaro
