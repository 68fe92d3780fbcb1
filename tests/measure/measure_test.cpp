// The analyser's figures on signals whose figures are known by construction:
// levels of a sine, THD+N and SFDR of a sine with one harmonic of known
// level, frequency to a fraction of a ppm, and a non-harmonic component.
#include <gtest/gtest.h>

#include <cmath>
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

}  // namespace
}  // namespace zelvaro::measure
