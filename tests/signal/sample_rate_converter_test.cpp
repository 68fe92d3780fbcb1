// The polyphase sample-rate converter and its adapter.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <vector>

#include "signal/sample_rate_converter.h"
#include "test_sources.h"

namespace zelvaro {
namespace {

using test::readFrames;
using test::VectorSource;

constexpr double kPi = 3.141592653589793;

// `frames` frames of a sine at `hz` in the first channel, at 2 x `hz` in the
// second and so on, all at the same amplitude.
std::vector<int32_t> sine(int32_t rate, double hz, int frames, double amplitude, int channels = 1) {
    std::vector<int32_t> out;
    for (int i = 0; i < frames; ++i)
        for (int c = 0; c < channels; ++c)
            out.push_back(static_cast<int32_t>(std::lround(amplitude * std::sin(2 * kPi * hz * (c + 1) * i / rate))));
    return out;
}

SoundSourceRef sineSource(int32_t rate, int frames, double amplitude = 200000, int channels = 1) {
    return SoundSourceRef(new VectorSource(sine(rate, 1000.0, frames, amplitude, channels), channels, rate));
}

double rms(const std::vector<int32_t>& samples, size_t from, size_t to) {
    double sum = 0;
    for (size_t i = from; i < to; ++i)
        sum += static_cast<double>(samples[i]) * samples[i];
    return std::sqrt(sum / static_cast<double>(to - from));
}

TEST(RateFraction, SmallFractionsForCommonRates) {
    struct Row {
        int32_t from, to;
        bool found;
        int32_t phaseCount, inputStep;
    };
    const Row rows[] = {
        {44100, 48000, true, 37, 34}, {48000, 44100, true, 34, 37}, {44100, 22050, true, 1, 2},
        {22050, 44100, true, 2, 1},   {8000, 44100, true, 11, 2},   {44100, 8000, true, 39, 215},
        {44100, 44100, true, 1, 1},   {96000, 44100, true, 17, 37},
        // n is taken modulo 65,536: the exact fractions 192,000 / 7 and
        // 100,000 / 3 are out of reach, so the nearest halves and wholes win.
        {192000, 7, true, 2, 54857},  {100000, 3, true, 1, 33333},
        // No step of 1 or more: the input would never advance.
        {1, 600, false, 0, 0},
        // More than 2^30 input frames per output frame.
        {INT32_MAX, 1, false, 0, 0},
        {0, 44100, false, 0, 0},      {44100, -1, false, 0, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message() << row.from << " to " << row.to);
        RateFraction fraction{0, 0};
        ASSERT_EQ(findRateFraction(row.from, row.to, &fraction), row.found);
        if (row.found) {
            EXPECT_EQ(fraction.phaseCount, row.phaseCount);
            EXPECT_EQ(fraction.inputStep, row.inputStep);
        }
    }
}

TEST(ConverterFilter, RowsAreMirroredAndSumToAboutUnity) {
    struct Row {
        int32_t from, to;
        int32_t centre;  // trunc(fc x 65,536 + 0.5), scaled with the filter below 3/63
    };
    const Row rows[] = {{44100, 48000, 63872}, {22050, 44100, 63872}, {48000, 44100, 57090},
                        {44100, 8000, 8768},   {44100, 22050, 29647},
                        {44100, 4000, 2870},
                        // Past 15.75:1 the cutoff stays at 1/63: no 0/0 tap at 21:1.
                        {44100, 2100, 1932},   {44100, 1000, 1933}};
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message() << row.from << " to " << row.to);
        RateFraction f;
        ASSERT_TRUE(findRateFraction(row.from, row.to, &f));
        std::vector<int32_t> taps(static_cast<size_t>(f.phaseCount) * kFilterTaps);
        designConverterFilter(row.from, row.to, f.phaseCount, taps.data());
        EXPECT_EQ(taps[kFilterHalf], row.centre);
        for (int j = 0; j < f.phaseCount; ++j) {
            const int32_t* tap = &taps[static_cast<size_t>(j) * kFilterTaps];
            int64_t sum = 0;
            for (int k = 0; k < kFilterTaps; ++k)
                sum += tap[k];
            EXPECT_NEAR(sum, 65536, 250) << "row " << j;
            // Row j at x is row L - j at -x; row 0 is symmetric about its centre.
            const int32_t* mirror = &taps[static_cast<size_t>((f.phaseCount - j) % f.phaseCount) * kFilterTaps];
            for (int k = 1; k < kFilterTaps; ++k) {
                const int32_t partner = j == 0 ? tap[kFilterTaps - 1 - k] : mirror[kFilterTaps - k];
                ASSERT_EQ(tap[k], partner) << "row " << j << " tap " << k;
            }
        }
    }
}

// The filter design written out on its own: the cutoff from the ratio less
// the transition band, Kaiser window with beta 4.538, a filter whose cutoff is
// below 3/63 scaled so that its rows sum to one on average, taps rounded half
// away from zero.
std::vector<int32_t> designedFilter(long double fc, int phaseCount) {
    const long double beta = 4.538L;
    auto i0 = [](long double x) {
        const long double t = x * x;
        long double term = t / 4, sum = 1 + t / 4;
        for (long double d : {16.0L, 36.0L, 64.0L, 100.0L, 144.0L})
            sum += term *= t / d;
        return sum;
    };
    const long double pi = 3.141592653589793238462643383279502884L;
    std::vector<long double> v;
    long double sum = 0;
    for (int j = 0; j < phaseCount; ++j) {
        for (int k = 0; k < 63; ++k) {
            const long double x = (k - 31) - static_cast<long double>(j) / phaseCount;
            v.push_back(x == 0 ? fc * 65536
                               : std::sin(pi * fc * x) / (pi * fc * x) * (fc * 65536 / i0(beta)) *
                                     i0(beta * std::sqrt(1 - x * x / 1024)));
            sum += v.back();
        }
    }
    std::vector<int32_t> taps;
    for (long double value : v) {
        const long double t = fc < 3.0L / 63 ? value * 65536 * phaseCount / sum : value;
        taps.push_back(static_cast<int32_t>(std::trunc(t < 0 ? t - 0.5L : t + 0.5L)));
    }
    return taps;
}

TEST(ConverterFilter, DownsamplingKeepsTheDesignedCutoffUpToFifteenToOne) {
    // The designed cutoff, target / upstream - 3/63, from 10:1 (taps as
    // designed) past 11.025:1 (reachable from the command line; scaled to a
    // sum of one) to 15.75:1.
    const int32_t rows[][2] = {{44100, 4410}, {44100, 4000}, {44100, 2800}};
    for (const auto& rates : rows) {
        SCOPED_TRACE(testing::Message() << rates[0] << " to " << rates[1]);
        RateFraction f;
        ASSERT_TRUE(findRateFraction(rates[0], rates[1], &f));
        std::vector<int32_t> taps(static_cast<size_t>(f.phaseCount) * kFilterTaps);
        designConverterFilter(rates[0], rates[1], f.phaseCount, taps.data());
        const long double fc = static_cast<long double>(rates[1]) / rates[0] - 3.0L / 63;
        EXPECT_EQ(taps, designedFilter(fc, f.phaseCount));
    }

    // Beyond 21:1 the formula's cutoff would be negative; the filter stays a
    // low pass at 1/63, and the converter passes DC at unity gain.
    RateFraction f;
    ASSERT_TRUE(findRateFraction(44100, 2000, &f));
    std::vector<int32_t> taps(static_cast<size_t>(f.phaseCount) * kFilterTaps, 0);
    designConverterFilter(44100, 2000, f.phaseCount, taps.data());
    EXPECT_EQ(taps, designedFilter(1.0L / 63, f.phaseCount));
    for (int j = 0; j < f.phaseCount; ++j) {
        int64_t sum = 0;
        for (int k = 0; k < kFilterTaps; ++k)
            sum += taps[static_cast<size_t>(j) * kFilterTaps + k];
        EXPECT_NEAR(sum, 65536, 250) << "row " << j;
    }
    SampleRateConverter converter(SoundSourceRef(new VectorSource(std::vector<int32_t>(100000, 100000), 1)), 2000);
    const std::vector<int32_t> out = readFrames(converter, 2000);
    for (int i = 40; i < 2000; ++i)
        ASSERT_NEAR(out[i], 100000, 400) << i;
}

TEST(SampleRateConverter, Header) {
    struct Row {
        int32_t upstreamPeak;
        int32_t target;
        int32_t rate;
        int32_t peak;
        bool failed;
    };
    const Row rows[] = {{2097152, 48000, 48000, 2097152, false}, {1048576, 48000, 48000, 2097152, false},
                        {524272, 22050, 22050, 1048544, false},  {2097152, 0, 44100, 2097152, true},
                        {100, -5, 44100, 200, true}};
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message() << row.upstreamPeak << " to " << row.target);
        SampleRateConverter converter(SoundSourceRef(new VectorSource({}, 2, 44100, row.upstreamPeak)), row.target);
        EXPECT_EQ(converter.sampleRate, row.rate);
        EXPECT_EQ(converter.peakLevel, row.peak);
        EXPECT_EQ(converter.channels, 2);
        EXPECT_EQ(converter.failed(), row.failed);
    }
    SampleRateConverter orphan(SoundSourceRef(), 48000);
    EXPECT_TRUE(orphan.failed());
    EXPECT_EQ(orphan.length(), 0);
    std::vector<int32_t> out(10, 5);
    orphan.read(out.data(), 10);
    EXPECT_EQ(out, std::vector<int32_t>(10, 0));
    SampleRateConverter refused(SoundSourceRef(new VectorSource({}, 1, 1)), 600);
    EXPECT_TRUE(refused.failed());
}

TEST(SampleRateConverter, StartUpReadsAheadAndCentresTheFirstFrame) {
    // An impulse on the first upstream frame: output frame 2t (22,050 to
    // 44,100 Hz, L = 2, M = 1) uses row 0 and 2t + 1 the half-frame row 1,
    // both over the window that starts 31 frames before input frame t.
    auto* upstream = new VectorSource({10000}, 1, 22050);
    SampleRateConverter converter(SoundSourceRef(upstream), 44100);
    EXPECT_EQ(upstream->frame, 8224);
    const std::vector<int32_t> out = readFrames(converter, 80, 3);
    auto expected = [](int32_t tap, int k) {
        const int64_t product = static_cast<int64_t>(tap) * 10000;
        const int64_t sum = (k < 32 ? product >> 1 : 0) + (k < 32 ? 0 : product >> 1) + (1 << 14);
        return static_cast<int32_t>(sum >> 15);
    };
    for (int t = 0; t < 40; ++t) {
        const int k = kFilterHalf - t;  // the tap that meets input frame 0
        ASSERT_EQ(out[2 * t], k >= 0 ? expected(converter.filterRow(0)[k], k) : 0) << t;
        ASSERT_EQ(out[2 * t + 1], k >= 0 ? expected(converter.filterRow(1)[k], k) : 0) << t;
    }
    EXPECT_EQ(out[0], expected(63872, kFilterHalf));
}

TEST(SampleRateConverter, UnityGainForASineAcrossCommonRates) {
    // Rates and a frequency within 0.1 dB of the filter's gain at DC: from
    // 10:1 on the 63 taps roll off from a few hundred hertz (of the input).
    const int32_t pairs[][3] = {{44100, 48000, 1000}, {48000, 44100, 1000}, {22050, 44100, 1000},
                                {44100, 8000, 1000},  {44100, 4410, 100},   {96000, 8000, 100},
                                {44100, 4000, 100},   {192000, 8000, 250},  {44100, 2000, 50}};
    for (const auto& pair : pairs) {
        SCOPED_TRACE(testing::Message() << pair[0] << " to " << pair[1]);
        SampleRateConverter converter(
            SoundSourceRef(new VectorSource(sine(pair[0], pair[2], 3 * pair[0], 200000, 1), 1, pair[0])), pair[1]);
        const std::vector<int32_t> out = readFrames(converter, 2 * pair[1]);
        // A steady stretch: past the start-up and within the input.
        const double gain = rms(out, pair[1] / 4, 2 * pair[1]) / (200000 / std::sqrt(2.0));
        EXPECT_NEAR(20 * std::log10(gain), 0.0, 0.1);
    }
}

TEST(SampleRateConverter, RenderedFramesEqualTheLength) {
    const int32_t pairs[][2] = {{44100, 48000}, {48000, 44100}, {22050, 44100},
                                {44100, 8000},  {8000, 44100},  {44100, 22050}};
    for (const auto& pair : pairs) {
        for (int frames : {1, 8191, 30001, 44100}) {
            SCOPED_TRACE(testing::Message() << pair[0] << " to " << pair[1] << ", " << frames << " frames");
            SampleRateConverter converter(sineSource(pair[0], frames), pair[1]);
            RateFraction f;
            findRateFraction(pair[0], pair[1], &f);
            const int64_t length = (int64_t{frames} / f.inputStep) * f.phaseCount +
                                   (int64_t{frames} % f.inputStep) * f.phaseCount / f.inputStep;
            EXPECT_EQ(converter.length(), length);
            EXPECT_EQ(test::renderToLength(converter).size(), static_cast<size_t>(length));
        }
    }
    SampleRateConverter example(sineSource(44100, 44100), 48000);
    EXPECT_EQ(example.length(), 47991);
}

TEST(SampleRateConverter, BufferNormalisationKeepsTheLevel) {
    // Constant input: 20,000 needs no shift, 40,000 a shift of 1 and 1.5e9 a
    // shift of 16, past the 15 bits the output shift can give back.
    struct Row {
        int32_t level;
    };
    const Row rows[] = {{20000}, {40000}, {-40000}, {1500000000}, {-1500000000}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.level);
        SampleRateConverter converter(SoundSourceRef(new VectorSource(std::vector<int32_t>(30000, row.level), 1)), 48000);
        const std::vector<int32_t> out = readFrames(converter, 20000);
        for (int i = 100; i < 20000; i += 37)
            ASSERT_NEAR(out[i], row.level, std::abs(row.level) * 0.006) << i;
    }
    // Full-scale int32 input: held at the int32 range, no wrap.
    SampleRateConverter extreme(SoundSourceRef(new VectorSource(std::vector<int32_t>(30000, INT32_MIN), 1)), 48000);
    const std::vector<int32_t> out = readFrames(extreme, 1000);
    EXPECT_LT(out[500], -2000000000);
}

TEST(SampleRateConverter, FullScaleSamplesFollowingTheTapSignsDoNotWrap) {
    // 44,100 to 22,050 Hz (L = 1, M = 2): output frame 100 is centred on input
    // frame 200. Give that window +-32,767 with the signs of the taps: every
    // product is positive and the first half sum passes 2^31.
    RateFraction f;
    ASSERT_TRUE(findRateFraction(44100, 22050, &f));
    std::vector<int32_t> row(kFilterTaps);
    designConverterFilter(44100, 22050, 1, row.data());
    std::vector<int32_t> input(1000, 0);
    int64_t low = 0;
    int64_t high = 0;
    for (int k = 0; k < kFilterTaps; ++k) {
        const int32_t v = row[k] >= 0 ? 32767 : -32767;
        input[200 - kFilterHalf + k] = v;
        (k < 32 ? low : high) += static_cast<int64_t>(row[k]) * v;
    }
    ASSERT_GT(low, int64_t{INT32_MAX});
    SampleRateConverter converter(SoundSourceRef(new VectorSource(input, 1)), 22050);
    const std::vector<int32_t> out = readFrames(converter, 101);
    EXPECT_EQ(out[100], ((low >> 1) + (high >> 1) + (1 << 14)) >> 15);
    EXPECT_GT(out[100], 32767);
}

TEST(SampleRateConverter, SeekMatchesReadingThrough) {
    const std::vector<int32_t> signal = sine(44100, 1000.0, 60000, 30000, 2);  // no normalisation shift
    SampleRateConverter through(SoundSourceRef(new VectorSource(signal, 2)), 48000);
    const std::vector<int32_t> whole = readFrames(through, 50000);

    auto* upstream = new VectorSource(signal, 2);
    SampleRateConverter seeking(SoundSourceRef(upstream), 48000);
    readFrames(seeking, 1234);
    for (int target : {40000, 17, 0, 48000}) {
        SCOPED_TRACE(target);
        seeking.seek(target);
        EXPECT_EQ(seeking.position(), target);
        const std::vector<int32_t> part = readFrames(seeking, 2000, 700);
        EXPECT_EQ(seeking.position(), target + 2000);
        EXPECT_EQ(part, std::vector<int32_t>(whole.begin() + 2 * target, whole.begin() + 2 * (target + 2000)));
    }
    // 40,000 is input frame 36,756 and 48,000 is 44,108; the window starts
    // 31 frames before.
    // Targets whose window starts before the first frame seek the upstream to 0.
    EXPECT_EQ(upstream->seeks, (std::vector<int>{36725, 0, 0, 44077}));
    seeking.seek(-50);
    EXPECT_EQ(seeking.position(), 0);
}

TEST(SampleRateConverter, EveryChannelIsConvertedAlike) {
    // Three channels of sines at different frequencies: each comes out as
    // the mono conversion of that channel does.
    const std::vector<int32_t> signal = sine(44100, 1000.0, 20000, 90000, 3);
    SampleRateConverter three(SoundSourceRef(new VectorSource(signal, 3)), 48000);
    const std::vector<int32_t> out = readFrames(three, 15000);
    for (int c = 0; c < 3; ++c) {
        SCOPED_TRACE(c);
        SampleRateConverter mono(SoundSourceRef(new VectorSource(test::channelOf(signal, 3, c), 1)), 48000);
        const std::vector<int32_t> alone = readFrames(mono, 15000);
        EXPECT_EQ(test::channelOf(out, 3, c), alone);
    }
}

TEST(SampleRateAdapter, WrapsOnlyOtherRates) {
    SoundSourceRef same(new VectorSource({}, 1, 44100));
    EXPECT_EQ(SampleRateAdapter(44100).apply(same).get(), same.get());
    EXPECT_EQ(same->refCount, 1);
    SoundSourceRef converted = SampleRateAdapter(48000).apply(same);
    ASSERT_TRUE(converted.usable());
    EXPECT_NE(converted.get(), same.get());
    EXPECT_EQ(converted->sampleRate, 48000);
    EXPECT_EQ(same->refCount, 2);
    EXPECT_FALSE(SampleRateAdapter(0).apply(same).usable());
    EXPECT_FALSE(SampleRateAdapter(48000).apply(SoundSourceRef()));
    SoundSourceRef broken(new VectorSource({}, 0));
    EXPECT_EQ(SampleRateAdapter(48000).apply(broken).get(), broken.get());
}

}  // namespace
}  // namespace zelvaro
