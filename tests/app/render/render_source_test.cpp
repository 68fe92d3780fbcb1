#include "app/render/render_source.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/render/parallel_tone_source.h"
#include "app/render/read_ahead_source.h"
#include "signal/signal_source.h"
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
// the length, as a file's does.
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
TEST(ParallelToneSource, MatchesOneGeneratorWithAnyNumberOfThreads) {
    const ToneSettings tone = sweep(toneRecord(kWaveSine, 16), kFlagStereo | kFlagLogSweep);  // 700 ms
    for (int threads : {1, 2, 3, 4}) {
        for (int block : {1260, 8192}) {
            SCOPED_TRACE(std::to_string(threads) + " threads, blocks of " + std::to_string(block));
            ToneSource direct(tone);
            ParallelToneSource parallel(tone, threads);
            ASSERT_FALSE(parallel.failed());
            EXPECT_EQ(parallel.length(), direct.length());
            const int frames = 50 * 8192 + 77;
            const Reading want = readAll(direct, frames, block);
            const Reading got = readAll(parallel, frames, block);
            ASSERT_EQ(got.samples, want.samples);
            ASSERT_EQ(got.positions, want.positions);
            EXPECT_EQ(parallel.runningThreads(), threads);
        }
    }
}

// Dropping the source before or after its first read, with its threads
// waiting or rendering, stops them without a hang or a leak.
TEST(ParallelToneSource, CanBeDroppedAtAnyTime) {
    for (int reads : {0, 1, 3, 50}) {
        ParallelToneSource parallel(toneRecord(kWaveSquare, 3), 3);
        std::vector<int32_t> buffer(8192);
        for (int i = 0; i < reads; ++i) parallel.read(buffer.data(), 8192);
        EXPECT_EQ(parallel.runningThreads(), reads > 0 ? 3 : 0);
    }
}

// A source read ahead reports what the source itself would have reported:
// positions that stop at its end, and after a seek the frames from there on.
TEST(ReadAheadSource, KeepsPositionsAndSeeksOfAFiniteSource) {
    for (int block : {1, 7, 1260, 8192}) {
        SCOPED_TRACE("blocks of " + std::to_string(block));
        FiniteSource direct(20000);
        SoundSourceRef ahead(new ReadAheadSource(SoundSourceRef(new FiniteSource(20000))));
        EXPECT_EQ(ahead->length(), 20000);
        EXPECT_EQ(ahead->position(), 0);
        const Reading want = readAll(direct, 30000, block);
        const Reading got = readAll(*ahead.get(), 30000, block);
        ASSERT_EQ(got.samples, want.samples);
        ASSERT_EQ(got.positions, want.positions);
        EXPECT_EQ(ahead->position(), 20000);

        direct.seek(12345);
        ahead->seek(12345);
        EXPECT_EQ(ahead->position(), 12345);
        const Reading wantAfter = readAll(direct, 9000, block);
        const Reading gotAfter = readAll(*ahead.get(), 9000, block);
        ASSERT_EQ(gotAfter.samples, wantAfter.samples);
        ASSERT_EQ(gotAfter.positions, wantAfter.positions);
    }
}

// Dropping a source that is being read ahead, before or after its first
// read, stops its thread without a hang or a leak.
TEST(ReadAheadSource, CanBeDroppedAtAnyTime) {
    for (int reads : {0, 1, 3, 50}) {
        SoundSourceRef ahead(new ReadAheadSource(SoundSourceRef(new FiniteSource(1 << 20))));
        std::vector<int32_t> buffer(2 * 8192);
        for (int i = 0; i < reads; ++i) ahead->read(buffer.data(), 8192);
        EXPECT_EQ(static_cast<ReadAheadSource*>(ahead.get())->readingAhead(), reads > 0);
    }
}

}  // namespace
}  // namespace zelvaro
