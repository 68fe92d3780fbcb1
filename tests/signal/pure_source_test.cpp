// The pure path's generators and converters against exact references: sines
// against sin in long double, the band-limited waveforms against their own
// harmonics, the 64-bit phase after a day, the limiter and the rate converter.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "signal/pure_limiter.h"
#include "signal/pure_noise_source.h"
#include "signal/pure_oscillator.h"
#include "signal/pure_rate_converter.h"
#include "signal/pure_signal_source.h"
#include "signal/pure_tone_source.h"

namespace zelvaro {
namespace {

constexpr long double kTwoPi = 6.283185307179586476925286766559L;
constexpr double kPi = 3.14159265358979323846;

ToneSettings toneOf(uint8_t waveform, std::vector<double> hz, uint32_t ms = 1000, uint16_t extraFlags = 0) {
    ToneSettings t{};
    t.flags = kFlagFixedDuration | extraFlags;
    t.waveform = waveform;
    t.toneCount = static_cast<uint8_t>(hz.size());
    t.durationMs = ms;
    for (size_t k = 0; k < hz.size(); ++k) t.startLeft[k] = t.endLeft[k] = t.startRight[k] = t.endRight[k] = hz[k];
    return t;
}

std::vector<double> render(PureSource& s, int frames) {
    std::vector<double> out(static_cast<size_t>(frames) * s.channels);
    s.read(out.data(), frames);
    return out;
}

long double exactSine(uint64_t phase) {
    return static_cast<long double>(kPureSineAmplitude) *
           std::sin(static_cast<long double>(phase) / 18446744073709551616.0L * kTwoPi);
}

TEST(PureTone, SineSamplesAreTheSinOfTheExactPhase) {
    struct Row {
        double hz;
        int32_t rate;
    } rows[] = {{997.0, 44100}, {1000.0, 48000}, {19999.5, 44100}, {0.5, 96000}, {-440.0, 44100}};
    const int frames[] = {0, 1, 63, 64, 65, 1000, 44099};
    for (const Row& r : rows) {
        SCOPED_TRACE(testing::Message() << r.hz << " Hz at " << r.rate);
        PureToneSource source(toneOf(kWaveSine, {r.hz}), r.rate, 1);
        std::vector<double> out = render(source, 44100);
        const uint64_t inc = phaseIncrement(r.hz, r.rate);
        for (int n : frames) {
            // The phase moves before each sample, as in the program's generator.
            const long double want = exactSine(inc * static_cast<uint64_t>(n + 1));
            EXPECT_NEAR(out[n], static_cast<double>(want), 4e-16) << "frame " << n;
        }
    }
}

TEST(PureTone, ThePhaseIsExactAfterADayOfFrames) {
    const int32_t rate = 44100;
    const uint64_t inc = phaseIncrement(997.0L, rate);
    // The frequency the increment stands for is 997 Hz to far better than 1 uHz.
    EXPECT_LT(std::fabs(static_cast<long double>(inc) * rate / 18446744073709551616.0L - 997.0L), 1e-6L);
    PureToneSource source(toneOf(kWaveSine, {997.0}), rate, 1);
    const uint64_t day = 24ull * 3600 * rate;
    source.skip(day);
    std::vector<double> out = render(source, 100);
    for (int n = 0; n < 100; n += 33)
        EXPECT_NEAR(out[n], static_cast<double>(exactSine(inc * (day + n + 1))), 4e-16) << n;
    PureOscillator o(kWaveSine, 1.0, 997.0, rate);
    o.skip(day);
    EXPECT_EQ(o.phase(), inc * day);  // modulo 2^64: no drift at all
}

// Over exactly one second, tones of whole hertz are orthogonal: the
// harmonics' coefficients are plain correlations, and what remains after
// taking them away is everything that is not a harmonic below Nyquist.
TEST(PureTone, BandLimitedWaveformsHoldOnlyTheirHarmonicsBelowNyquist) {
    struct Row {
        uint8_t waveform;
        const char* name;
        double fundamental;  // expected amplitude of the 3 kHz component
    } rows[] = {{kWaveSquare, "square", 4 * kPureSquareAmplitude / kPi},
                {kWaveSawTooth, "saw", 2 * kPureRampAmplitude / kPi},
                {kWaveTriangular, "triangle", 8 * kPureRampAmplitude / (kPi * kPi)}};
    const int rate = 44100, hz = 3000;
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        PureToneSource source(toneOf(r.waveform, {static_cast<double>(hz)}), rate, 1);
        std::vector<double> x = render(source, rate);
        std::vector<double> residual = x;
        double fundamental = 0;
        for (int k = 1; k * hz < rate / 2; ++k) {
            double a = 0, b = 0;
            for (int n = 0; n < rate; ++n) {
                const double w = 2 * kPi * k * hz * (n + 1.0) / rate;
                a += x[n] * std::cos(w);
                b += x[n] * std::sin(w);
            }
            a *= 2.0 / rate;
            b *= 2.0 / rate;
            if (k == 1) fundamental = std::hypot(a, b);
            for (int n = 0; n < rate; ++n) {
                const double w = 2 * kPi * k * hz * (n + 1.0) / rate;
                residual[n] -= a * std::cos(w) + b * std::sin(w);
            }
        }
        double power = 0;
        for (double v : residual) power += v * v;
        EXPECT_LT(10 * std::log10(power / rate / (fundamental * fundamental / 2) + 1e-300), -200.0);
        EXPECT_NEAR(fundamental, r.fundamental, 1e-12);
    }
}

TEST(PureTone, SweepsFollowTheProgramsLaws) {
    // The frequency at half the duration: linear 550 Hz, logarithmic
    // 100 + 900 (e^0.5 - 1) / (e - 1) Hz, read from the phase steps there.
    struct Row {
        uint16_t flags;
        double midHz;
    } rows[] = {{kFlagSweep, 550.0}, {kFlagSweep | kFlagLogSweep, 100 + 900 * std::expm1(0.5) / std::expm1(1.0)}};
    for (const Row& r : rows) {
        ToneSettings t = toneOf(kWaveSine, {100.0}, 1000, r.flags);
        t.endLeft[0] = 1000.0;
        PureToneSource source(t, 44100, 1);
        std::vector<double> x = render(source, 44100);
        // Zero crossings within 2 ms either side of the middle.
        int crossings = 0;
        for (int n = 22050 - 882; n < 22050 + 882; ++n) crossings += (x[n] < 0) != (x[n + 1] < 0);
        EXPECT_NEAR(crossings / 2.0 / 0.04, r.midHz, 30.0) << r.flags;
        EXPECT_NEAR(x[0], static_cast<double>(exactSine(phaseIncrement(100.0L, 44100))), 1e-15);
    }
}

TEST(PureTone, BlockSizesDoNotChangeTheSamples) {
    ToneSettings sweep = toneOf(kWaveSquare, {50.0, 3000.0}, 1000, kFlagSweep | kFlagLogSweep | kFlagStereo);
    sweep.endLeft[0] = sweep.endRight[1] = 15000.0;
    for (const ToneSettings& t : {toneOf(kWaveSawTooth, {997.0, 31.0}), sweep}) {
        PureToneSource whole(t, 44100, 2), pieces(t, 44100, 2);
        std::vector<double> a = render(whole, 5000), b;
        for (int n : {1, 63, 64, 65, 100, 1, 4706}) {
            std::vector<double> part = render(pieces, n);
            b.insert(b.end(), part.begin(), part.end());
        }
        EXPECT_EQ(a, b);
    }
}

TEST(PureTone, ChannelsFollowTheRecordAndTheRequest) {
    ToneSettings t = toneOf(kWaveSine, {440.0}, 1000, kFlagStereo);
    t.startRight[0] = t.endRight[0] = 660.0;
    PureToneSource stereo(t, 44100, 2), mono(t, 44100, 1);
    ToneSettings m = toneOf(kWaveSine, {440.0});
    PureToneSource widened(m, 44100, 2);
    std::vector<double> s = render(stereo, 100), l = render(mono, 100), w = render(widened, 100);
    for (int n = 0; n < 100; ++n) {
        EXPECT_EQ(s[2 * n], l[n]);
        EXPECT_EQ(w[2 * n], w[2 * n + 1]);
        EXPECT_EQ(w[2 * n], l[n]);
    }
    EXPECT_NE(s[1], s[0]);
    EXPECT_EQ(stereo.lengthFrames, 44100);
}

TEST(PureNoise, TheSameSeedGivesTheSameNoiseWithinTheProgramsRange) {
    for (uint8_t wave : {kWaveWhiteNoise, kWavePinkNoise}) {
        ToneSettings t = toneOf(wave, {});
        PureSourcePtr a = createPureSource(t, 44100, 1, 5), b = createPureSource(t, 44100, 1, 5),
                      c = createPureSource(t, 44100, 1, 6);
        std::vector<double> x = render(*a, 20000), y = render(*b, 20000), z = render(*c, 20000);
        EXPECT_EQ(x, y);
        EXPECT_NE(x, z);
        double peak = 0;
        for (double v : x) peak = std::max(peak, std::fabs(v));
        EXPECT_LT(peak, 0.6);
        EXPECT_GT(peak, 0.01);
    }
}

TEST(PureLimiter, PassesASignalWithinTheLimitUnchangedAndHoldsOneAboveIt) {
    ToneSettings quiet = toneOf(kWaveSine, {440.0, 550.0});
    PureLimiter passed(createPureSource(quiet, 44100, 1, 0), 1.0);
    PureToneSource reference(quiet, 44100, 1);
    EXPECT_EQ(render(passed, 20000), render(reference, 20000));

    // Sixteen 0 dB sines reach four times the limit at their first frames.
    std::vector<double> hz;
    for (int k = 0; k < 16; ++k) hz.push_back(100.0 * (k + 1));
    PureLimiter limited(createPureSource(toneOf(kWaveSine, hz), 44100, 1, 0), 0.5);
    std::vector<double> x = render(limited, 44100);
    double peak = 0;
    for (double v : x) peak = std::max(peak, std::fabs(v));
    EXPECT_LE(peak, 0.5);
    EXPECT_GT(peak, 0.45);
}

// A PCM format's range is one code longer below than above: its lowest code
// is within the limit and passes, and so do the samples around it.
TEST(PureLimiter, LetsAFormatsLowestCodeThroughUnchanged) {
    struct Row {
        const char* name;
        double top, sample;
        bool passes;
    } rows[] = {{"16-bit lowest code", 32767.0 / 32768, -1.0, true},
                {"24-bit lowest code", 8388607.0 / 8388608, -1.0, true},
                {"16-bit top code", 32767.0 / 32768, 32767.0 / 32768, true},
                {"one step above the top code", 32767.0 / 32768, 1.0, false},
                {"one step below the lowest code", 32767.0 / 32768, -32769.0 / 32768, false}};
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        // A quiet tone with the one sample in its middle.
        std::vector<double> in = render(*createPureSource(toneOf(kWaveSine, {997.0}), 44100, 1, 0), 44100);
        for (double& v : in) v *= 0.25;
        in[22050] = r.sample;
        class Samples final : public PureSource {
        public:
            explicit Samples(std::vector<double> x) : PureSource(44100, 1, 44100), x_(std::move(x)) {}
            void read(double* out, int frames) override {
                for (int i = 0; i < frames; ++i, ++at_) out[i] = at_ < x_.size() ? x_[at_] : 0.0;
            }

        private:
            std::vector<double> x_;
            size_t at_ = 0;
        };
        PureLimiter limiter(std::make_unique<Samples>(in), r.top, 1.0);
        const std::vector<double> out = render(limiter, 44100);
        if (r.passes) {
            EXPECT_EQ(out, in);
        } else {
            EXPECT_LE(out[22050], r.top);
            EXPECT_GE(out[22050], -1.0);
        }
    }
}

TEST(PureRateConverter, ResamplesASineToWithinTheStopBandsFloor) {
    struct Row {
        int32_t from, to;
        double hz;
    } rows[] = {{44100, 48000, 1000.0}, {44100, 96000, 15000.0}, {48000, 44100, 997.0}, {44100, 22050, 5000.0}};
    for (const Row& r : rows) {
        SCOPED_TRACE(testing::Message() << r.from << " to " << r.to);
        PureRateConverter converter(std::make_unique<PureToneSource>(toneOf(kWaveSine, {r.hz}), r.from, 1), r.to);
        std::vector<double> y = render(converter, r.to);
        // Output frame m stands at input time m / to; the tone's sample n sits at (n + 1) / from.
        double worst = 0;
        for (int m = r.to / 4; m < r.to; ++m) {
            const long double turns = static_cast<long double>(r.hz) * (static_cast<long double>(m) / r.to + 1.0L / r.from);
            const double want = static_cast<double>(kPureSineAmplitude * std::sin(kTwoPi * turns));
            worst = std::max(worst, std::fabs(y[m] - want));
        }
        EXPECT_LT(20 * std::log10(worst / kPureSineAmplitude), -115.0);
    }
}

}  // namespace
}  // namespace zelvaro
