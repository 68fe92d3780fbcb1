// The tone generator: gains, wavetables, phase increments, lengths, sweeps and
// the frame layout, with the figures the design gives.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "signal/block_level.h"
#include "signal/decibel_table.h"
#include "signal/frame_count.h"
#include "signal/tone_source.h"
#include "signal/wavetable.h"
#include "test_sources.h"
#include "tone_records.h"

namespace zelvaro {
namespace {

using test::readFrames;
using test::toneRecord;
using test::withFlags;

// The increment 3 x 2^17 steps through every table entry in 32,768 frames.
const double kEveryEntryHz = 393216.5 / kIncrementPerHz;

int pcm16(int32_t v) {
    return (v + 8) >> 4;
}

TEST(DecibelTable, AmplitudeAndPowerColumns) {
    struct Row {
        int8_t decibels;
        int32_t amplitude;
        int32_t power;
    };
    const Row rows[] = {
        {-128, 0, 0},
        {-127, 0, 0},
        {-126, 8, 0},
        {-90, 531, 0},
        {-20, 1677722, 167772},
        {-6, 8408526, 4214246},
        {-1, 14952709, 13326616},
        {0, 16777216, 16777216},
        {1, 18824346, 21121264},
        {6, 33474947, 66791300},
        {20, 167772160, 1677721600},
        {21, 188243460, 2112126356},
        {22, 211212636, 2147483647},
        {127, 2147483647, 2147483647},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message() << int(row.decibels) << " dB");
        EXPECT_EQ(DecibelTable::amplitudeGain(row.decibels), row.amplitude);
        EXPECT_EQ(DecibelTable::powerGain(row.decibels), row.power);
    }
}

TEST(Wavetable, EntriesAndPeaks) {
    struct Row {
        int waveform;
        int index;
        int32_t value;
    };
    const Row rows[] = {
        {kWaveSine, 0, 0},          {kWaveSine, 8192, 131070},     {kWaveSine, 16384, 0},
        {kWaveSine, 24576, -131070}, {kWaveSine, 1, 25},           {kWaveSquare, 0, 92682},
        {kWaveSquare, 16383, 92682}, {kWaveSquare, 16384, -92682}, {kWaveSquare, 32767, -92682},
        {kWaveTriangular, 0, 0},    {kWaveTriangular, 1, 20},      {kWaveTriangular, 8192, 165794},
        {kWaveTriangular, 8193, 165773}, {kWaveTriangular, 16384, 0}, {kWaveTriangular, 24576, -165794},
        {kWaveSawTooth, 0, 0},      {kWaveSawTooth, 1, 10},        {kWaveSawTooth, 16383, 165784},
        {kWaveSawTooth, 16384, -165794}, {kWaveSawTooth, 32767, -10}, {kWaveImpulse, 8192, 0},
        {kWavePinkNoise, 8192, 0},  {200, 8192, 0},
    };
    std::vector<int32_t> table(kWavetableSize);
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message() << "waveform " << row.waveform << " entry " << row.index);
        fillWavetable(table.data(), row.waveform);
        EXPECT_EQ(table[row.index], row.value);
    }
}

TEST(Wavetable, SineTableMatchesOnEveryBuild) {
    // The whole table, folded into one number; the Windows build must agree.
    // Every entry equals the truncation of the exact product (checked against
    // a 50-digit computation), none lies within 1e-9 of an integer but 0.
    std::vector<int32_t> table(kWavetableSize);
    fillWavetable(table.data(), kWaveSine);
    uint64_t hash = 1469598103934665603ull;
    for (int32_t v : table)
        hash = (hash ^ static_cast<uint32_t>(v)) * 1099511628211ull;
    EXPECT_EQ(hash, 14944119975271699599ull) << "sine table hash";
    // A quarter wave mirrored: the table is odd about entry 16,384.
    for (int i = 1; i < kWavetableSize / 2; ++i)
        ASSERT_EQ(table[kWavetableSize - i], -table[i]) << i;
}

TEST(ToneSource, SixteenBitLevelsOfEachWaveformAtZeroDecibels) {
    struct Row {
        int waveform;
        int level;
    };
    const Row rows[] = {{kWaveSine, 8192}, {kWaveSquare, 5793}, {kWaveTriangular, 10362},
                        {kWaveSawTooth, 10362}, {kWaveImpulse, 11585}};
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message() << "waveform " << row.waveform);
        ToneSource source(toneRecord(row.waveform, 1, kEveryEntryHz));
        const std::vector<int32_t> out = readFrames(source, 32768);
        EXPECT_EQ(pcm16(blockPeak(out.data(), 32768)), row.level);
    }
}

TEST(ToneSource, PhaseIncrementOfAFrequency) {
    struct Row {
        double hz;
        uint32_t increment;
    };
    const double inf = std::numeric_limits<double>::infinity();
    const Row rows[] = {
        {1000.0, 97391548u},
        {0.0, 0u},
        {0.5, 48695u},
        {-1000.0, 4197575748u},  // runs the table backwards
        {22050.0, 2147483648u},
        {44100.0, 0u},           // a whole turn per frame
        // Beyond the int64 range the low 32 bits of the truncated product
        // are kept, as for every smaller frequency.
        {9e13, 2278962176u},
        {9.45e13, 3681400832u},
        {1e14, 623306752u},
        {-3.3e17, 377487360u},
        {1e300, 0u},
        // Products that are not numbers run at 0 Hz.
        {std::nan(""), 0u},
        {inf, 0u},
        {-inf, 0u},
        {1e305, 0u},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message() << row.hz << " Hz");
        EXPECT_EQ(phaseIncrement(row.hz), row.increment);
        ToneSettings tone = toneRecord(kWaveSine, 1, row.hz);
        ToneSource source(tone);
        EXPECT_EQ(source.oscillator(0, 0).increment, row.increment);
        EXPECT_EQ(source.oscillator(0, 0).startIncrement, row.increment);
        readFrames(source, 3);
        EXPECT_EQ(source.oscillator(0, 0).phase, 3u * row.increment);
    }
}

TEST(ToneSource, ThousandTurnsLessTheTruncationLoss) {
    ToneSource source(toneRecord(kWaveSine, 1, 1000.0));
    readFrames(source, 44100, 1000);
    EXPECT_EQ(source.oscillator(0, 0).phase, 4294967296u - 29200u);
}

TEST(ToneSource, LengthAndPosition) {
    struct Row {
        uint16_t flags;
        uint32_t durationMs;
        int length;
        int positionAfter10000;
    };
    const Row rows[] = {
        {kFlagFixedDuration, 1, 44, 10000},
        {kFlagFixedDuration, 1000, 44100, 10000},
        {kFlagFixedDuration, 1500, 66150, 10000},
        {kFlagFixedDuration, 48695390, 2147466699, 10000},
        // Longer than the longest renderable tone: held at 2^31 - 1 - 8,192
        // frames rather than wrapping to a negative length.
        {kFlagFixedDuration, 48695590, 2147475455, 10000},
        {kFlagFixedDuration, 4294967295u, 2147475455, 10000},
        {0, 1000, 2646000, 0},
        {kFlagSweep, 1000, 2646000, 0},
        {kFlagFixedDuration, 0, 2646000, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message() << "flags " << row.flags << " ms " << row.durationMs);
        ToneSource source(withFlags(toneRecord(), row.flags, row.durationMs));
        EXPECT_EQ(source.length(), row.length);
        EXPECT_EQ(source.position(), 0);
        readFrames(source, 10000, 777);
        EXPECT_EQ(source.position(), row.positionAfter10000);
        source.seek(5);
        EXPECT_EQ(source.position(), row.positionAfter10000);
    }
}

TEST(ToneSource, PositionStopsAtTheLargestFrameCount) {
    // The longest tone leaves room for one block past its end; reading on
    // beyond that holds the position at 2^31 - 1 instead of wrapping.
    EXPECT_EQ(advanceFrames(kMaxGeneratorFrames, kMaxBlockFrames), 2147483647);
    EXPECT_EQ(advanceFrames(2147483647 - 5, 8192), 2147483647);
    EXPECT_EQ(advanceFrames(100, 8192), 8292);
    EXPECT_EQ(advanceFrames(100, -3), 100);
}

// The increment the sweep gives after frame index `frame` of a 1 s tone.
uint32_t sweptIncrement(double startHz, double endHz, int frame, bool log) {
    const uint32_t start = static_cast<uint32_t>(static_cast<int64_t>(startHz * kIncrementPerHz));
    const double span = endHz * kIncrementPerHz - start;
    double t = frame / 44100.0;
    if (log)
        t = (std::exp(t) - 1.0) * 0.5819767068693265;
    return static_cast<uint32_t>(static_cast<int64_t>(t * span)) + start;
}

TEST(ToneSource, SweepUpdatesEveryThirtyTwoFrames) {
    for (bool log : {false, true}) {
        SCOPED_TRACE(log ? "log" : "linear");
        ToneSettings tone = toneRecord(kWaveSine, 1, 100.0);
        tone.endLeft[0] = 1000.0;
        ToneSource source(withFlags(tone, kFlagSweep | kFlagFixedDuration | (log ? kFlagLogSweep : 0)));
        const uint32_t start = phaseIncrement(100.0);
        readFrames(source, 31);
        EXPECT_EQ(source.oscillator(0, 0).increment, start);
        readFrames(source, 1);  // the 32nd frame: first update, t = 31 / 44,100
        EXPECT_EQ(source.oscillator(0, 0).increment, sweptIncrement(100, 1000, 31, log));
        readFrames(source, 22048 - 32, 1000);
        const uint32_t half = source.oscillator(0, 0).increment;
        EXPECT_EQ(half, sweptIncrement(100, 1000, 22047, log));
        EXPECT_NEAR(half / kIncrementPerHz, log ? 439.8 : 549.94, 0.1);
        // Past the duration the frequency keeps moving the same way.
        readFrames(source, 44100 + 64 - 22048);
        EXPECT_GT(source.oscillator(0, 0).increment, phaseIncrement(1000.0));
    }
}

// A copy that skips the frames other copies render must read the rest as
// the source that rendered everything does: phases, sweep updates and the
// position all move on. Skips of odd lengths split runs and sweep intervals.
TEST(ToneSource, SkippedFramesLeaveTheRestAsRendered) {
    ToneSettings stereoSweep = withFlags(toneRecord(kWaveSawTooth, 5, 300.0),
                                         kFlagSweep | kFlagLogSweep | kFlagStereo | kFlagFixedDuration, 900);
    for (int k = 0; k < 5; ++k) {
        stereoSweep.endLeft[k] = 9000.0 - 1000 * k;
        stereoSweep.startRight[k] = 50.0 * (k + 1);
        stereoSweep.endRight[k] = 20000.0;
    }
    ToneSettings gains = withFlags(toneRecord(kWaveSquare, 4, 2345.6), kFlagVariableAmplitude | kFlagStereo);
    gains.relativeAmplitude[1] = -128;  // gain 0: not rendered, still moving
    gains.relativeAmplitude[2] = -7;
    const struct {
        const char* name;
        ToneSettings tone;
    } cases[] = {
        {"stereo log sweep past its end", stereoSweep},
        {"mono linear sweep", withFlags(toneRecord(kWaveSine, 3, 440.0), kFlagSweep | kFlagFixedDuration, 500)},
        {"stereo gains, continuous", gains},
        {"impulses", withFlags(toneRecord(kWaveImpulse, 2, 3000.0), kFlagFixedDuration, 100)},
        {"a waveform without a table", withFlags(toneRecord(200, 2, 3000.0), kFlagStereo)},
    };
    // Frames read (positive) and skipped (negative), in turn.
    const int pattern[] = {100, -31, 1, -1, 7, -1024, 33, -8192, 5000, -3, 1500, -20000, 9000};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ToneSource whole(c.tone);
        ToneSource skipping(c.tone);
        for (int n : pattern) {
            const std::vector<int32_t> want = readFrames(whole, n > 0 ? n : -n);
            if (n < 0) {
                skipping.skip(-n);
            } else {
                ASSERT_EQ(readFrames(skipping, n), want) << "after reading " << n;
            }
            ASSERT_EQ(skipping.position(), whole.position());
        }
    }
}

TEST(ToneSource, SweepWithoutDurationPlaysTheStartFrequency) {
    ToneSettings tone = toneRecord(kWaveSine, 1, 100.0);
    tone.endLeft[0] = 1000.0;
    ToneSource source(withFlags(tone, kFlagSweep));
    readFrames(source, 5000);
    EXPECT_EQ(source.oscillator(0, 0).increment, phaseIncrement(100.0));
}

TEST(ToneSource, SweepToAnyEndStaysDefined) {
    // Spans that no integer holds: the sweep term is reduced like an increment.
    const double inf = std::numeric_limits<double>::infinity();
    for (double end : {std::nan(""), inf, -inf, 1e300, -1e18}) {
        SCOPED_TRACE(testing::Message() << "end " << end);
        ToneSettings tone = toneRecord(kWaveSine, 1, 100.0);
        tone.endLeft[0] = end;
        ToneSource source(withFlags(tone, kFlagSweep | kFlagFixedDuration));
        readFrames(source, 44100);
        const double span = end * kIncrementPerHz - phaseIncrement(100.0);
        const double term = 44095 / 44100.0 * span;
        EXPECT_EQ(source.oscillator(0, 0).increment, wrapToUint32(term) + phaseIncrement(100.0));
    }
}

TEST(ToneSource, RelativeAmplitudeScalesTableTonesButNotImpulses) {
    ToneSettings tone = withFlags(toneRecord(kWaveSine, 1, kEveryEntryHz), kFlagVariableAmplitude);
    tone.relativeAmplitude[0] = -6;
    ToneSource sine(tone);
    EXPECT_EQ(sine.oscillator(0, 0).gain, 8408526);
    std::vector<int32_t> out = readFrames(sine, 32768);
    EXPECT_EQ(blockPeak(out.data(), 32768), 65691);  // -131,070 gives -65,691
    int32_t largest = 0;
    for (int32_t v : out)
        largest = std::max(largest, v);
    EXPECT_EQ(largest, 65688);

    tone.relativeAmplitude[0] = -127;
    ToneSource silent(tone);
    out = readFrames(silent, 32768);
    EXPECT_EQ(blockPeak(out.data(), 32768), 0);

    ToneSettings impulses = withFlags(toneRecord(kWaveImpulse, 1, 1000.0), kFlagVariableAmplitude);
    impulses.relativeAmplitude[0] = -20;
    ToneSource impulse(impulses);
    out = readFrames(impulse, 44100);
    int count = 0;
    for (int32_t v : out) {
        ASSERT_TRUE(v == 0 || v == kImpulseHeight) << v;
        count += v != 0;
    }
    EXPECT_EQ(count, 999);  // one per period; the 1,000th wrap falls just after
}

TEST(ToneSource, ImpulseOncePerWrapOfThePhase) {
    // 11,025 Hz: the phase wraps every fourth frame, first at frame index 3.
    ToneSource source(toneRecord(kWaveImpulse, 1, 11025.0));
    const std::vector<int32_t> out = readFrames(source, 12);
    EXPECT_EQ(out, (std::vector<int32_t>{0, 0, 0, kImpulseHeight, 0, 0, 0, kImpulseHeight, 0, 0, 0, kImpulseHeight}));
    // At 0 Hz the phase stands still and never wraps: silence.
    ToneSource still(toneRecord(kWaveImpulse, 1, 0.0));
    EXPECT_EQ(readFrames(still, 1000), std::vector<int32_t>(1000, 0));
}

TEST(ToneSource, StereoFramesAreLeftSumThenRightSum) {
    ToneSettings tone = withFlags(toneRecord(kWaveTriangular, 2), kFlagStereo);
    tone.startLeft[0] = 100.0;
    tone.startLeft[1] = 300.0;
    tone.startRight[0] = 200.0;
    tone.startRight[1] = 7000.0;
    ToneSource stereo(tone);
    EXPECT_EQ(stereo.channels, 2);
    const std::vector<int32_t> both = readFrames(stereo, 5000, 333);

    ToneSettings left = toneRecord(kWaveTriangular, 2);
    left.startLeft[0] = 100.0;
    left.startLeft[1] = 300.0;
    ToneSettings right = toneRecord(kWaveTriangular, 2);
    right.startLeft[0] = 200.0;
    right.startLeft[1] = 7000.0;
    ToneSource leftOnly(left);
    ToneSource rightOnly(right);
    EXPECT_EQ(leftOnly.channels, 1);
    EXPECT_EQ(test::channelOf(both, 2, 0), readFrames(leftOnly, 5000));
    EXPECT_EQ(test::channelOf(both, 2, 1), readFrames(rightOnly, 5000));
}

TEST(ToneSource, TonesAddWithoutClamping) {
    // 16 in-phase sines at 0 dB: four times full scale.
    ToneSource source(toneRecord(kWaveSine, 16, kEveryEntryHz));
    const std::vector<int32_t> out = readFrames(source, 32768);
    EXPECT_EQ(blockPeak(out.data(), 32768), 16 * 131070);
}

TEST(ToneSource, ToneCountsOutsideTheRecordRange) {
    ToneSource none(toneRecord(kWaveSine, 0));
    std::vector<int32_t> out = readFrames(none, 1000);
    EXPECT_EQ(blockPeak(out.data(), 1000), 0);
    // A damaged record with 200 tones plays its 16.
    ToneSource many(toneRecord(kWaveSquare, 200, kEveryEntryHz));
    out = readFrames(many, 100);
    EXPECT_EQ(blockPeak(out.data(), 100), 16 * 92682);
}

TEST(ToneSource, NoiseCodesAndUnknownCodesRenderSilence) {
    for (int waveform : {int(kWaveWhiteNoise), int(kWavePinkNoise), 7, 255}) {
        SCOPED_TRACE(waveform);
        ToneSource source(withFlags(toneRecord(waveform, 3), kFlagStereo));
        const std::vector<int32_t> out = readFrames(source, 2000);
        EXPECT_EQ(blockPeak(out.data(), 4000), 0);
    }
}

}  // namespace
}  // namespace zelvaro
