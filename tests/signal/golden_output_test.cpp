// Whole streams folded into fingerprints. The figures come from a separate
// frame-by-frame model of the arithmetic, so they check the generators'
// block-wise loops bit for bit, and the Windows build against the native one.
#include <gtest/gtest.h>

#include <vector>

#include "signal/noise_source.h"
#include "signal/peak_limiter.h"
#include "signal/sample_rate_converter.h"
#include "signal/tone_source.h"
#include "test_sources.h"
#include "tone_records.h"

namespace zelvaro {
namespace {

struct ToneCase {
    const char* name;
    uint16_t flags;
    int waveform;
    int count;
    uint32_t durationMs;
    std::vector<double> startLeft, endLeft, startRight, endRight;
    std::vector<int8_t> amplitude;
    int frames;
    uint64_t fingerprint;
};

ToneSettings recordOf(const ToneCase& c) {
    ToneSettings tone = test::withFlags(test::toneRecord(c.waveform, c.count), c.flags, c.durationMs);
    for (int k = 0; k < c.count; ++k) {
        tone.startLeft[k] = c.startLeft[k];
        tone.endLeft[k] = c.endLeft[k];
        tone.startRight[k] = c.startRight[k];
        tone.endRight[k] = c.endRight[k];
        tone.relativeAmplitude[k] = c.amplitude[k];
    }
    return tone;
}

std::vector<ToneCase> toneCases() {
    std::vector<ToneCase> cases;
    cases.push_back({"stereo linear sweep, three amplitudes",
                     kFlagSweep | kFlagStereo | kFlagFixedDuration | kFlagVariableAmplitude, kWaveSine, 3, 2000,
                     {100, 440, 30000}, {5000, 220, -100}, {50, 1000, 7000}, {60, 900, 19000}, {0, -6, -13},
                     50000, 10062998323318714052ull});
    ToneCase logSweep{"16 saw tooth tones, log sweep", kFlagSweep | kFlagLogSweep | kFlagFixedDuration,
                      kWaveSawTooth, 16, 1500, {}, {}, {}, {}, {}, 40000, 604986791573397970ull};
    for (int k = 0; k < 16; ++k) {
        logSweep.startLeft.push_back(100 + 37 * k);
        logSweep.endLeft.push_back(8000 - 450 * k);
        logSweep.startRight.push_back(0);
        logSweep.endRight.push_back(0);
        logSweep.amplitude.push_back(0);
    }
    cases.push_back(logSweep);
    cases.push_back({"stereo impulses, amplitudes ignored", kFlagStereo, kWaveImpulse, 5, 0,
                     {100, 1000, 2000, 3000, 44100 * 3.5}, {0, 0, 0, 0, 0}, {150, 1100, 2100, 3100, 11025},
                     {0, 0, 0, 0, 0}, {-20, -20, -20, -20, -20}, 30000, 9229664274932632091ull});
    cases.push_back({"triangles above unity gain, one backwards", kFlagVariableAmplitude | kFlagFixedDuration,
                     kWaveTriangular, 2, 500, {1234.5, -333.25}, {0, 0}, {0, 0}, {0, 0}, {6, 127}, 30000,
                     4573858494041234713ull});
    return cases;
}

TEST(GoldenOutput, ToneSourceStreams) {
    for (const ToneCase& c : toneCases()) {
        SCOPED_TRACE(c.name);
        ToneSource source(recordOf(c));
        EXPECT_EQ(test::fingerprint(test::readFrames(source, c.frames, 8192)), c.fingerprint);
    }
}

TEST(GoldenOutput, ConverterAndLimiterStreams) {
    const std::vector<ToneCase> cases = toneCases();
    {
        SCOPED_TRACE("white noise, 44,100 to 48,000 Hz");
        SampleRateConverter converter(SoundSourceRef(new WhiteNoiseSource(0, 12345)), 48000);
        EXPECT_EQ(test::fingerprint(test::readFrames(converter, 30000)), 17741574067406151883ull);
    }
    {
        SCOPED_TRACE("16 swept saw tooth tones through the limiter");
        PeakLimiter limiter(SoundSourceRef(new ToneSource(recordOf(cases[1]))), 524272);
        EXPECT_EQ(test::fingerprint(test::readFrames(limiter, 40000)), 11288466569241686896ull);
    }
    {
        SCOPED_TRACE("stereo sweep, 44,100 to 22,050 Hz");
        SampleRateConverter converter(SoundSourceRef(new ToneSource(recordOf(cases[0]))), 22050);
        EXPECT_EQ(test::fingerprint(test::readFrames(converter, 20000)), 14063243831001590070ull);
    }
}

TEST(GoldenOutput, ConverterFilterTaps) {
    // Every tap equals the rounding of the exact value (checked at 40 digits),
    // and none lies within 1e-9 of a rounding boundary, so any correct
    // extended-precision sine gives these rows.
    struct Row {
        int32_t from, to;
        uint64_t fingerprint;
    };
    const Row rows[] = {{44100, 48000, 3513531123481062452ull},
                        {48000, 44100, 4246935687868453587ull},
                        {44100, 8000, 1321202964953457961ull}};
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message() << row.from << " to " << row.to);
        RateFraction f;
        ASSERT_TRUE(findRateFraction(row.from, row.to, &f));
        std::vector<int32_t> taps(static_cast<size_t>(f.phaseCount) * kFilterTaps);
        designConverterFilter(row.from, row.to, f.phaseCount, taps.data());
        EXPECT_EQ(test::fingerprint(taps), row.fingerprint);
    }
}

}  // namespace
}  // namespace zelvaro
