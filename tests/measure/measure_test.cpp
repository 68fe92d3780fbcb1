// The analyser's figures on signals whose figures are known by construction:
// levels of a sine, THD+N and SFDR of a sine with one harmonic of known
// level, frequency to a fraction of a ppm, and a non-harmonic component.
#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "measure/levels.h"
#include "measure/tone_analysis.h"

namespace zelvaro::measure {
namespace {

constexpr double kRate = 44100;
constexpr double kPi = 3.14159265358979323846;

std::vector<double> tones(std::initializer_list<std::pair<double, double>> hzAndAmplitude, size_t frames,
                          double dc = 0) {
    std::vector<double> x(frames, dc);
    double phase = 0.3;
    for (auto [hz, amplitude] : hzAndAmplitude) {
        for (size_t n = 0; n < frames; ++n) x[n] += amplitude * std::sin(2 * kPi * hz * n / kRate + phase);
        phase += 1.1;
    }
    return x;
}

TEST(Levels, FullScaleSineIsZeroDbfsPeakAndMinusThreePointZeroOneRms) {
    // 1 kHz at 44.1 kHz over 441 frames: ten whole periods with a sample on the crest (phase 0.3 aside).
    std::vector<double> x(44100);
    for (size_t n = 0; n < x.size(); ++n) x[n] = std::cos(2 * kPi * 1000 * n / kRate) + 0.25;
    const ChannelLevels l = measureLevels(x.data(), x.size());
    EXPECT_NEAR(l.peakDbfs(), toDecibels(1.25), 1e-12);
    EXPECT_NEAR(l.dc, 0.25, 1e-12);
    EXPECT_NEAR(l.rms, std::sqrt(0.5 + 0.0625), 1e-12);
    std::vector<double> sine(44100);
    for (size_t n = 0; n < sine.size(); ++n) sine[n] = std::sin(2 * kPi * 1000 * n / kRate);
    EXPECT_NEAR(measureLevels(sine.data(), sine.size()).rmsDbfs(), -3.0103, 0.0001);
    EXPECT_EQ(measureLevels(nullptr, 0).peakDbfs(), -999.0);
}

TEST(ToneAnalysis, KnownHarmonicsGiveTheirThdAndSfdr) {
    struct Row {
        double harmonicDb;
        int harmonic;
    } rows[] = {{-40, 2}, {-80, 3}, {-120, 2}, {-150, 5}};
    for (const Row& r : rows) {
        SCOPED_TRACE(testing::Message() << "harmonic " << r.harmonic << " at " << r.harmonicDb << " dB");
        const double a = 0.5;
        std::vector<double> x = tones({{997.0, a}, {997.0 * r.harmonic, a * std::pow(10, r.harmonicDb / 20)}}, 88200, 0.01);
        const ToneAnalysis t = analyzeTone(x, kRate, std::nullopt);
        EXPECT_NEAR(t.frequencyHz, 997.0, 1e-6);
        EXPECT_NEAR(t.levelDbfs(), toDecibels(a), 0.0001);
        EXPECT_NEAR(t.dc, 0.01, 1e-9);
        EXPECT_NEAR(t.thdnDb, r.harmonicDb, 0.1);
        EXPECT_NEAR(t.sfdrDb, -r.harmonicDb, 0.1);
        EXPECT_NEAR(t.spurHz, 997.0 * r.harmonic, 1.0);
    }
}

TEST(ToneAnalysis, MeasuresAFrequencyBetweenBinsToAFractionOfAPpm) {
    for (double hz : {997.0, 1000.123456, 31.5, 19999.9}) {
        const ToneAnalysis t = analyzeTone(tones({{hz, 0.25}}, 100000), kRate, hz * (1 + 2e-5));
        EXPECT_NEAR((t.frequencyHz / hz - 1) * 1e6, 0.0, 0.001) << hz;
        EXPECT_LT(t.thdnDb, -200) << hz;
    }
}

TEST(ToneAnalysis, TheLargestNonHarmonicIsFoundBesideLargerHarmonics) {
    std::vector<double> x = tones({{3000.0, 0.3}, {9000.0, 0.1}, {15000.0, 0.06}, {5100.0, 0.3e-5}}, 88200);
    const ToneAnalysis t = analyzeTone(x, kRate);
    EXPECT_NEAR(t.frequencyHz, 3000.0, 1e-4);  // the other harmonics pull the fit a little
    EXPECT_NEAR(t.spurHz, 9000.0, 1.0);
    EXPECT_NEAR(t.nonHarmonicDb, -100.0, 0.1);
    EXPECT_NEAR(t.nonHarmonicHz, 5100.0, 1.0);
}

std::vector<double> sine(double hz, double rate, size_t frames, double amplitude = 0.5) {
    std::vector<double> x(frames);
    for (size_t n = 0; n < frames; ++n) x[n] = amplitude * std::sin(2 * kPi * hz * n / rate + 0.3);
    return x;
}

// What cannot be measured gives no figures, with the reason.
TEST(ToneAnalysis, RefusesWhatItCannotMeasure) {
    std::mt19937 random(5);
    std::uniform_real_distribution<double> uniform(-0.5, 0.5);
    std::vector<double> noise(48000);
    for (double& v : noise) v = uniform(random);
    std::vector<double> twoTones = sine(1000, 48000, 48000);
    for (size_t n = 0; n < twoTones.size(); ++n) twoTones[n] += 0.5 * std::sin(2 * kPi * 1500 * n / 48000.0);
    struct Row {
        const char* name;
        std::vector<double> x;
        std::optional<double> hint;
        ToneRefusal refusal;
    } rows[] = {
        {"silence", std::vector<double>(48000, 0.0), std::nullopt, ToneRefusal::kNoTone},
        {"DC", std::vector<double>(48000, 0.25), std::nullopt, ToneRefusal::kNoTone},
        {"white noise", noise, std::nullopt, ToneRefusal::kNoTone},
        {"two tones of one level", twoTones, std::nullopt, ToneRefusal::kNoTone},
        {"63 frames", sine(12000, 48000, kMinToneFrames - 1), std::nullopt, ToneRefusal::kTooShort},
        {"1 kHz over 64 frames: 1.3 cycles", sine(1000, 48000, 64), std::nullopt, ToneRefusal::kTooFewCycles},
        {"5 Hz over 1 s", sine(5, 48000, 48000), std::nullopt, ToneRefusal::kTooFewCycles},
        {"23999.5 Hz at 48 kHz", sine(23999.5, 48000, 48000), std::nullopt, ToneRefusal::kNearNyquist},
        {"1 kHz asked for as 5 kHz", sine(1000, 48000, 48000), 5000.0, ToneRefusal::kFarFromExpected},
        {"1 kHz asked for as 1060 Hz", sine(1000, 48000, 48000), 1060.0, ToneRefusal::kFarFromExpected},
        {"asked for above Nyquist", sine(1000, 48000, 48000), 30000.0, ToneRefusal::kFarFromExpected},
        {"asked for at a negative frequency", sine(1000, 48000, 48000), -1000.0, ToneRefusal::kFarFromExpected},
    };
    for (const Row& r : rows) {
        const ToneAnalysis t = analyzeTone(r.x, 48000, r.hint);
        EXPECT_EQ(static_cast<int>(t.refusal), static_cast<int>(r.refusal))
            << r.name << ": " << describeRefusal(t.refusal) << " at " << t.frequencyHz << " Hz";
        // A refusal for a tone far from the one asked for names the tone the file holds.
        if (r.refusal == ToneRefusal::kFarFromExpected)
            EXPECT_NEAR(t.frequencyHz, 1000.0, 1e-3) << r.name;
    }
}

// The edges of what is measured: a spur just outside the window's main lobe
// is the one SFDR finds; a prime length gives the figures of its signal; the
// band stops at Nyquist and says so.
TEST(ToneAnalysis, MeasuresAtTheEdges) {
    {
        std::vector<double> x = sine(1000, 48000, 48000);
        for (size_t n = 0; n < x.size(); ++n) x[n] += 0.5e-3 * std::sin(2 * kPi * 1006 * n / 48000.0);
        const ToneAnalysis t = analyzeTone(x, 48000);
        ASSERT_TRUE(t.measured());
        EXPECT_NEAR(t.sfdrDb, 60.0, 0.2) << "a -60 dBc spur 6 Hz from the tone";
        EXPECT_NEAR(t.spurHz, 1006.0, 0.5);
        EXPECT_NEAR(t.sfdrExcludedHz, kMainLobeBins * 1.0, 1e-12);
    }
    for (size_t frames : {size_t{100003}, size_t{127 * 9721}}) {
        std::vector<double> x = tones({{997.0, 0.5}, {2991.0, 0.5e-4}}, frames);
        const ToneAnalysis t = analyzeTone(x, kRate);
        ASSERT_TRUE(t.measured()) << frames;
        EXPECT_NEAR(t.frequencyHz, 997.0, 1e-6) << frames;
        EXPECT_NEAR(t.thdnDb, -80.0, 0.1) << frames;
        EXPECT_NEAR(t.sfdrDb, 80.0, 0.1) << frames;
        EXPECT_NEAR(t.spurHz, 2991.0, 1.0) << frames;
    }
    const ToneAnalysis low = analyzeTone(sine(1000, 32000, 32000), 32000);
    ASSERT_TRUE(low.measured());
    EXPECT_EQ(low.thdnBand.highHz, 16000.0);
    EXPECT_EQ(low.thdnBand.lowHz, 20.0);
}

}  // namespace
}  // namespace zelvaro::measure
