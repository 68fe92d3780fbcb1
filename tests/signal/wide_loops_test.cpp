// The loops compiled for wide vectors must give the baseline loops' samples
// bit for bit. Each case runs both ways on the same input.
#include <gtest/gtest.h>

#include <climits>
#include <functional>
#include <random>
#include <vector>

#include "base/wide_loops.h"
#include "signal/block_level.h"
#include "signal/peak_limiter.h"
#include "signal/tone_source.h"
#include "test_sources.h"
#include "tone_records.h"

namespace zelvaro {
namespace {

using test::readFrames;
using test::VectorSource;

// Runs `body` with the wide loops turned off and then on.
template <class Body>
auto bothWays(Body body) {
    allowWideLoops(false);
    auto baseline = body();
    allowWideLoops(true);
    auto wide = body();
    return std::make_pair(baseline, wide);
}

bool wideLoopsToCompare() {
    allowWideLoops(true);
    return useWideLoops();
}

// Samples that swing across the whole int32 range, with runs of silence and
// of the extremes, so that every gain the limiter takes and every clamp occur.
std::vector<int32_t> swings(size_t count, uint32_t seed) {
    std::mt19937 random(seed);
    std::vector<int32_t> samples(count);
    for (size_t i = 0; i < count; ++i) {
        switch ((i / 3000) % 4) {
        case 0: samples[i] = static_cast<int32_t>(random()); break;
        case 1: samples[i] = static_cast<int32_t>(random() % 2000001) - 1000000; break;
        case 2: samples[i] = i % 2 ? INT32_MIN : INT32_MAX; break;
        default: samples[i] = static_cast<int32_t>(random() % 1001) - 500; break;
        }
    }
    return samples;
}

TEST(WideLoops, LimiterGivesTheBaselineSamples) {
    if (!wideLoopsToCompare())
        GTEST_SKIP() << "this processor has no AVX2: only the baseline loops run";
    ToneSettings tones = test::withFlags(test::toneRecord(kWaveSquare, 16, 321.0), kFlagStereo | kFlagFixedDuration);
    for (int k = 0; k < kMaxTones; ++k)
        tones.startRight[k] = tones.endRight[k] = 77.0 * (k + 1);
    const struct {
        const char* name;
        std::function<SoundSourceRef()> source;
        int32_t limit;
    } cases[] = {
        {"16 stereo squares", [&] { return SoundSourceRef(new ToneSource(tones)); }, 524272},
        {"mono swings", [] { return SoundSourceRef(new VectorSource(swings(60000, 1), 1)); }, 524272},
        {"stereo swings", [] { return SoundSourceRef(new VectorSource(swings(120000, 2), 2)); }, 100},
        {"three channels", [] { return SoundSourceRef(new VectorSource(swings(90000, 3), 3)); }, kMaxPeakLimit},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto [baseline, wide] = bothWays([&] {
            PeakLimiter limiter(c.source(), c.limit);
            // Reads of odd sizes leave runs that end inside a vector.
            return readFrames(limiter, 40000, 999);
        });
        ASSERT_EQ(wide, baseline);
    }
}

// A tone whose left and right oscillators differ in frequency and, when
// `amplitudes` is given, in level: 0 dB (unity), others (gained) and -128 dB
// (silent).
ToneSettings mixedTone(int waveform, int count, uint16_t flags, const int8_t* amplitudes = nullptr) {
    ToneSettings tone = test::withFlags(test::toneRecord(waveform, count, 0.0), flags, 900);
    for (int k = 0; k < kMaxTones; ++k) {
        tone.startLeft[k] = 97.0 * (k + 1);
        tone.endLeft[k] = -3000.0 + 411.0 * k;  // sweeps down through zero on some
        tone.startRight[k] = 19000.0 - 1013.0 * k;
        tone.endRight[k] = 61.0 * (k + 1);
        tone.relativeAmplitude[k] = amplitudes ? amplitudes[k] : 0;
    }
    return tone;
}

TEST(WideLoops, ToneSourceGivesTheBaselineSamples) {
    if (!wideLoopsToCompare())
        GTEST_SKIP() << "this processor has no AVX2: only the baseline loops run";
    const int8_t levels[kMaxTones] = {0, -6, -128, 20, 127, -127, 0, 0, -1, 3, -128, 0, -40, 6, 0, -90};
    const int8_t quiet[kMaxTones] = {-3, -128, -20, 1, -128, 2, -60, 3, -1, 0, 0, 0, 0, 0, 0, 0};
    const uint16_t stereo = kFlagStereo | kFlagFixedDuration;
    const uint16_t logSweep = stereo | kFlagSweep | kFlagLogSweep | kFlagVariableAmplitude;
    const struct {
        const char* name;
        ToneSettings tone;
    } cases[] = {
        // Groups of four, three, two and one oscillators, with and without
        // gains, and the tails of runs that are not a multiple of eight.
        {"16 mono sines", mixedTone(kWaveSine, 16, kFlagFixedDuration)},
        {"15 stereo squares", mixedTone(kWaveSquare, 15, stereo)},
        {"7 stereo triangles with levels", mixedTone(kWaveTriangular, 7, stereo | kFlagVariableAmplitude, levels)},
        {"16 mono saw teeth with levels", mixedTone(kWaveSawTooth, 16, kFlagVariableAmplitude, levels)},
        {"9 gained, none at unity", mixedTone(kWaveSine, 9, stereo | kFlagVariableAmplitude, quiet)},
        {"16 log sweeps with levels", mixedTone(kWaveSine, 16, logSweep, levels)},
        {"5 linear sweeps", mixedTone(kWaveSquare, 5, stereo | kFlagSweep)},
        {"impulses beside nothing", mixedTone(kWaveImpulse, 16, stereo)},
        {"all silent", mixedTone(kWaveSine, 16, stereo | kFlagVariableAmplitude,
                                 std::vector<int8_t>(kMaxTones, -128).data())},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto [baseline, wide] = bothWays([&] {
            ToneSource source(c.tone);
            // Reads of odd sizes leave runs that end inside a vector.
            auto samples = readFrames(source, 39690, 999);
            for (int k = 0; k < c.tone.toneCount; ++k)
                for (int channel = 0; channel < source.channels; ++channel)
                    samples.push_back(static_cast<int32_t>(source.oscillator(channel, k).phase));
            return samples;
        });
        ASSERT_EQ(wide, baseline);
    }
}

TEST(WideLoops, BlockPeakGivesTheBaselinePeak) {
    if (!wideLoopsToCompare())
        GTEST_SKIP() << "this processor has no AVX2: only the baseline loops run";
    std::vector<int32_t> samples = swings(9000, 3);
    for (int count : {0, 1, 7, 8, 9, 31, 1260, 2520, 9000}) {
        for (int32_t extreme : {INT32_MIN, INT32_MAX, -600000, 0}) {
            std::vector<int32_t> block(samples.begin() + 9000 - count, samples.end());
            for (int32_t& v : block)
                v = v % 1000;
            if (count > 0)
                block[count - 1] = extreme;  // in the tail past the last whole vector
            const auto [baseline, wide] = bothWays([&] { return blockPeak(block.data(), count); });
            EXPECT_EQ(wide, baseline) << count << " samples ending in " << extreme;
        }
    }
}

}  // namespace
}  // namespace zelvaro
