// The look-ahead peak limiter and its adapter.
#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <vector>

#include "signal/block_level.h"
#include "signal/oscillator.h"
#include "signal/peak_limiter.h"
#include "signal/tone_source.h"
#include "test_sources.h"
#include "tone_records.h"

namespace zelvaro {
namespace {

using test::readFrames;
using test::VectorSource;

constexpr int32_t kPlayerLimit = 524272;

// Blocks of 1,260 mono frames, each filled with one value.
SoundSourceRef blocks(const std::vector<int32_t>& levels, int32_t peak = 2097152) {
    std::vector<int32_t> samples;
    for (int32_t level : levels)
        samples.insert(samples.end(), 1260, level);
    return SoundSourceRef(new VectorSource(samples, 1, 44100, peak));
}

TEST(PeakLimiter, BlockLengthFollowsTheRate) {
    struct Row {
        int32_t rate;
        int32_t blockLength;
    };
    const Row rows[] = {{44100, 1260}, {48000, 1371}, {8000, 228}, {500, 20}, {1, 20}, {400000, 8192}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.rate);
        PeakLimiter limiter(SoundSourceRef(new VectorSource({}, 2, row.rate)), kPlayerLimit);
        EXPECT_EQ(limiter.blockFrames(), row.blockLength);
        EXPECT_EQ(limiter.sampleRate, row.rate);
        EXPECT_EQ(limiter.channels, 2);
    }
}

TEST(PeakLimiter, SignalWithinTheLimitPassesBitForBit) {
    // Three 0 dB sines peak at 393,210, below the limit.
    ToneSettings tone = test::withFlags(test::toneRecord(kWaveSine, 3), kFlagStereo | kFlagFixedDuration, 3000);
    tone.startLeft[1] = 441.0;
    tone.startRight[2] = 3001.0;
    ToneSource direct(tone);
    PeakLimiter limiter(SoundSourceRef(new ToneSource(tone)), kPlayerLimit);
    EXPECT_EQ(limiter.peakLevel, kPlayerLimit);
    EXPECT_EQ(readFrames(limiter, 100000, 999), readFrames(direct, 100000));
}

TEST(PeakLimiter, PositionCountsOnlyDeliveredFrames) {
    auto* tone = new ToneSource(test::withFlags(test::toneRecord(), kFlagFixedDuration, 2000));
    PeakLimiter limiter(SoundSourceRef(tone), kPlayerLimit);
    EXPECT_EQ(tone->position(), 3 * 1260);
    EXPECT_EQ(limiter.position(), 0);
    EXPECT_EQ(limiter.length(), 88200);
    readFrames(limiter, 5000, 777);
    EXPECT_EQ(limiter.position(), 5000);
    EXPECT_EQ(test::renderToLength(limiter).size(), 88200u - 5000u);
}

TEST(PeakLimiter, ConstantOverloadGetsTheBlockGain) {
    struct Row {
        int32_t peak;
        int32_t gain;  // ((524,272 x 512) / ((peak + 64) >> 6)) x 512
    };
    const Row rows[] = {
        {1048544, 8388096},  // divisor 16,384
        {1048576, 8387584},  // divisor rounds up to 16,385
        {524273, 16777216 - 512},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.peak);
        PeakLimiter limiter(blocks({row.peak, row.peak, row.peak, row.peak, row.peak}), kPlayerLimit);
        const std::vector<int32_t> out = readFrames(limiter, 2520);
        for (int32_t v : out)
            ASSERT_EQ(v, applyGain(row.peak, row.gain));
    }
    PeakLimiter limiter(blocks({1048544, 1048544, 1048544, 1048544}), kPlayerLimit);
    EXPECT_EQ(readFrames(limiter, 1)[0], 524239);
}

TEST(PeakLimiter, LoudRightChannelLateInTheBlockSetsTheGain) {
    // Stereo blocks: a quiet left channel throughout, and on the right a peak
    // of 1,048,576 in the last frame only. Every block gets the gain
    // ((524,272 x 512) / 16,385) x 512 = 8,387,584.
    constexpr int32_t kGain = 8387584;
    std::vector<int32_t> samples;
    for (int block = 0; block < 6; ++block) {
        for (int j = 0; j < 1260; ++j) {
            samples.push_back(1000 + j);
            samples.push_back(j == 1259 ? (block % 2 ? -1048576 : 1048576) : -3 * j);
        }
    }
    PeakLimiter limiter(SoundSourceRef(new VectorSource(samples, 2)), kPlayerLimit);
    const std::vector<int32_t> out = readFrames(limiter, 3 * 1260, 700);
    for (size_t i = 0; i < out.size(); ++i)
        ASSERT_EQ(out[i], applyGain(samples[i], kGain)) << i;
    EXPECT_EQ(out[2 * 1259 + 1], 524224);
    EXPECT_EQ(out[2 * (1260 + 1259) + 1], -524224);
    // The gain alone keeps the peaks inside: none is held at the limit.
    for (int32_t v : out)
        ASSERT_LT(std::abs(v), kPlayerLimit);
}

TEST(PeakLimiter, LoudFirstBlockCountsAsItsOwnPredecessor) {
    // Priming takes the first block's gain for the block before it too, so
    // the mean of the four gains, not unity, sets the first ramp: blocks of
    // gain 8,388,096, 8,388,096 and 2,198,528 give the mean 6,840,704, a
    // delta of -1,547,392: -1,228 per frame after -112 at once.
    PeakLimiter limiter(blocks({1048544, 1048544, 4000000, 1048544, 1048544}), kPlayerLimit);
    for (int pass = 0; pass < 2; ++pass) {
        SCOPED_TRACE(pass == 0 ? "after construction" : "after seek");
        const std::vector<int32_t> out = readFrames(limiter, 1260, 300);
        for (int j = 0; j < 1260; ++j)
            ASSERT_EQ(out[j], applyGain(1048544, 8388096 - 112 - 1228 * j)) << j;
        readFrames(limiter, 2000);
        limiter.seek(0);
    }
}

TEST(PeakLimiter, RampStartsWithTheRemainderAndEndsOnTheBlockGain) {
    // A quiet block before a loud one: delta = 8,388,096 - 2^24 = -8,389,120,
    // which is -6,658 per frame over 1,260 frames and -40 left over.
    PeakLimiter limiter(blocks({100000, 1048544, 100000, 100000, 100000, 100000}), kPlayerLimit);
    const std::vector<int32_t> out = readFrames(limiter, 1260 + 1260, 100);
    for (int j = 0; j < 1260; ++j)
        ASSERT_EQ(out[j], applyGain(100000, 16777216 - 40 - 6658 * j)) << j;
    // The loud block runs at or below its own gain throughout.
    for (int j = 1260; j < 2520; ++j)
        ASSERT_LE(out[j], applyGain(1048544, 8388096)) << j;
    EXPECT_EQ(out[1260], applyGain(1048544, 8388096));
}

TEST(PeakLimiter, NegativePeakRoundedPastTheLimitIsHeldAtIt) {
    // A block whose peak is -1,147,967 gets the gain 7,662,080; the split
    // product turns that sample into -524,273, one unit past the limit.
    EXPECT_EQ(applyGain(-1147967, 7662080), -524273);
    PeakLimiter limiter(blocks({-1147967, -1147967, -1147967, -1147967}), kPlayerLimit);
    const std::vector<int32_t> out = readFrames(limiter, 1260);
    EXPECT_EQ(out[0], -kPlayerLimit);
    // The positive side rounds toward zero and stays inside.
    PeakLimiter positive(blocks({1147967, 1147967, 1147967, 1147967}), kPlayerLimit);
    EXPECT_EQ(readFrames(positive, 1)[0], applyGain(1147967, 7662080));
    EXPECT_EQ(applyGain(1147967, 7662080), 524271);
}

TEST(PeakLimiter, TonesAtZeroDecibelsNeverExceedTheLimit) {
    // Every waveform, 1 to 16 tones, in phase (the largest sums) and spread,
    // mono and stereo, and a log sweep.
    int atLimit = 0;
    for (int waveform = kWaveSine; waveform <= kWaveImpulse; ++waveform) {
        for (int count = 1; count <= kMaxTones; ++count) {
            for (int variant = 0; variant < 3; ++variant) {
                ToneSettings tone = test::toneRecord(waveform, count, 1000.0);
                tone.flags = variant == 0 ? 0 : kFlagStereo;
                if (variant == 2)
                    tone.flags |= kFlagSweep | kFlagLogSweep | kFlagFixedDuration;
                for (int k = 0; variant > 0 && k < count; ++k) {
                    tone.startLeft[k] = 55.0 * (k + 1) * 1.0123;
                    tone.endLeft[k] = 12000.0 / (k + 1);
                    tone.startRight[k] = 1000.0 + 0.25 * k;
                    tone.endRight[k] = 20.0 * (k + 1);
                }
                PeakLimiter limiter(SoundSourceRef(new ToneSource(tone)), kPlayerLimit);
                const std::vector<int32_t> out = readFrames(limiter, 44100);
                const int32_t peak = blockPeak(out.data(), static_cast<int>(out.size()));
                ASSERT_LE(peak, kPlayerLimit)
                    << "waveform " << waveform << " tones " << count << " variant " << variant;
                for (int32_t v : out)
                    atLimit += std::abs(v) == kPlayerLimit;
            }
        }
    }
    // The block gains themselves keep the samples inside; holding at the
    // limit only catches the split product's rounding, which is rare.
    EXPECT_LE(atLimit, 8) << atLimit;
}

TEST(PeakLimiter, ExtremeSamplesAndSwingsStayDefinedAndWithinTheLimit) {
    // Full int32 swings next to silence: the largest gain changes there are.
    PeakLimiter limiter(blocks({0, INT32_MAX, 0, INT32_MIN, 0, 0, INT32_MIN, INT32_MAX, 0, 0, 0, 5}), kPlayerLimit);
    const std::vector<int32_t> out = readFrames(limiter, 12 * 1260, 500);
    EXPECT_LE(blockPeak(out.data(), static_cast<int>(out.size())), kPlayerLimit);
    EXPECT_EQ(out[11 * 1260 + 5], 5);  // back at unity after the swings
}

TEST(PeakLimiter, LimitIsHeldToTheRangeTheGainArithmeticTakes) {
    struct Row {
        int32_t requested;
        int32_t upstreamPeak;
        int32_t used;
    };
    const Row rows[] = {
        {kPlayerLimit, 2097152, kPlayerLimit},
        // An upstream bound above 4,194,303 leaves the requested limit in force.
        {kPlayerLimit, 10000000, kPlayerLimit},
        {5000000, 10000000, kMaxPeakLimit},
        {INT32_MAX, INT32_MAX, kMaxPeakLimit},
        {-5, 2097152, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message() << row.requested << " over " << row.upstreamPeak);
        PeakLimiter limiter(blocks({600000, 9000000, -9000000, 100}, row.upstreamPeak), row.requested);
        EXPECT_EQ(limiter.peakLevel, row.used);
        const std::vector<int32_t> out = readFrames(limiter, 4 * 1260);
        EXPECT_LE(blockPeak(out.data(), static_cast<int>(out.size())), row.used);
    }
}

TEST(PeakLimiter, SeekReadsAheadAgainFromTheTarget) {
    std::vector<int32_t> ramp(20000);
    for (size_t i = 0; i < ramp.size(); ++i)
        ramp[i] = static_cast<int32_t>(i * 7 % 5000);
    auto* upstream = new VectorSource(ramp, 1);
    PeakLimiter limiter(SoundSourceRef(upstream), kPlayerLimit);
    readFrames(limiter, 3000);
    limiter.seek(9000);
    EXPECT_EQ(upstream->seeks, std::vector<int>{9000});
    EXPECT_EQ(limiter.position(), 9000);
    const std::vector<int32_t> out = readFrames(limiter, 4000, 333);
    EXPECT_EQ(out, std::vector<int32_t>(ramp.begin() + 9000, ramp.begin() + 13000));
}

TEST(PeakLimiter, WithoutAnUpstreamWritesSilence) {
    PeakLimiter limiter(SoundSourceRef(), kPlayerLimit);
    EXPECT_TRUE(limiter.failed());
    std::vector<int32_t> out(100, 3);
    limiter.read(out.data(), 100);
    EXPECT_EQ(out, std::vector<int32_t>(100, 0));
    EXPECT_EQ(limiter.position(), 0);
    EXPECT_EQ(limiter.length(), 0);
}

TEST(PeakLimitAdapter, WrapsOnlySourcesAboveTheLimit) {
    struct Row {
        int32_t limit;
        int32_t peak;
        bool wrapped;
    };
    const Row rows[] = {{kPlayerLimit, 2097152, true}, {kPlayerLimit, 524273, true},
                        {kPlayerLimit, kPlayerLimit, false}, {kPlayerLimit, 100, false}};
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message() << row.limit << " vs " << row.peak);
        SoundSourceRef input(new VectorSource({}, 2, 44100, row.peak));
        SoundSourceRef output = PeakLimitAdapter(row.limit).apply(input);
        ASSERT_TRUE(output.usable());
        EXPECT_EQ(output.get() != input.get(), row.wrapped);
        EXPECT_EQ(output->peakLevel, row.wrapped ? row.limit : row.peak);
        EXPECT_EQ(input->refCount, 2);
    }
    EXPECT_FALSE(PeakLimitAdapter(1).apply(SoundSourceRef()));
    SoundSourceRef broken(new VectorSource({}, 0));
    EXPECT_EQ(PeakLimitAdapter(1).apply(broken).get(), broken.get());
}

}  // namespace
}  // namespace zelvaro
