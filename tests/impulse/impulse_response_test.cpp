#include "impulse/impulse_response.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>

#include "impulse/fft.h"
#include "impulse/frequency_response.h"
#include "impulse/sweep_requests.h"

namespace zelvaro {
namespace {

// Deconvolving the sweep itself gives 0 dB across the band, its peak at time
// zero, and nothing above -50 dB earlier than 5 ms before it.
TEST(ImpulseResponse, TheSweepItselfGivesAFlatUnitImpulse) {
    const SweepRequest cases[] = {
        Request(20, 20000, 2, 44100, 0), Request(20, 20000, 2, 44100, 20), Request(100, 10000, 1, 48000, 10, -6),
        Request(50, 20000, 3, 96000, 30, 0),
    };
    for (const SweepRequest& r : cases) {
        const ExpSweep sweep(r);
        const std::vector<double> full = deconvolve(sweep.samples(), sweep.inverse());
        const ImpulseResponses ir = cutResponses(full, sweep, 1);
        EXPECT_EQ(ir.delayFrames, 0) << r.fromHz << "-" << r.toHz;
        const double peak = std::fabs(ir.linear[static_cast<size_t>(ir.zeroFrame)]);
        const std::vector<ResponsePoint> points =
            frequencyResponse(ir.linear, ir.zeroFrame, r.rateHz, r.fromHz * std::sqrt(2.0), r.toHz / std::pow(2.0, 1.0 / 6.0));
        ASSERT_FALSE(points.empty());
        double lowest = 1e9, highest = -1e9;
        for (const ResponsePoint& p : points) {
            lowest = std::min(lowest, p.db);
            highest = std::max(highest, p.db);
        }
        EXPECT_GT(lowest, -0.3) << r.fromHz << "-" << r.toHz << " fade " << r.fadeMs;
        EXPECT_LT(highest, 0.3) << r.fromHz << "-" << r.toHz << " fade " << r.fadeMs;
        const long long early = static_cast<long long>(sweep.frames() - 1) - static_cast<long long>(0.005 * r.rateHz);
        double earlier = 0.0;
        for (long long n = 0; n < early; ++n)
            earlier = std::max(earlier, std::fabs(full[static_cast<size_t>(n)]));
        EXPECT_LT(20.0 * std::log10(earlier / peak), -50.0) << r.fromHz << "-" << r.toHz << " fade " << r.fadeMs;
    }
}

// A loop that delays the sweep by D frames is measured as D frames.
TEST(ImpulseResponse, AKnownDelayIsReportedInFrames) {
    const ExpSweep sweep(Request(20, 20000, 1, 44100, 10));
    const std::vector<double> x = sweep.samples();
    const std::vector<double> inverse = sweep.inverse();
    for (int delay : {0, 1, 441, 12345}) {
        std::vector<double> recorded(static_cast<size_t>(delay), 0.0);
        recorded.insert(recorded.end(), x.begin(), x.end());
        recorded.resize(recorded.size() + 4410, 0.0);
        const ImpulseResponses ir = cutResponses(deconvolve(recorded, inverse), sweep, 1);
        EXPECT_EQ(ir.delayFrames, delay);
    }
}

// y = x + 0.01·x² at full scale: the second harmonic's response lies
// L·ln 2 before the fundamental's and is 20·log10(0.005) = -46.02 dB below it.
TEST(ImpulseResponse, SecondHarmonicAtItsOffsetAndLevel) {
    const SweepRequest r = Request(20, 20000, 4, 48000, 20, 0.0);
    const ExpSweep sweep(r);
    std::vector<double> y = sweep.samples();
    for (double& v : y)
        v = v + 0.01 * v * v;
    const ImpulseResponses ir = cutResponses(deconvolve(y, sweep.inverse()), sweep, 3);
    ASSERT_EQ(ir.harmonics.size(), 2u);
    const std::vector<double>& second = ir.harmonics[0];
    // The harmonic's response is the fundamental's turned by 90 degrees
    // (sin² holds cos 2φ): its energy, not its sample peak, is centred on
    // its time zero.
    size_t peak = 0;
    double best = 0.0;
    for (size_t n = 1; n + 1 < second.size(); ++n) {
        const double energy = second[n - 1] * second[n - 1] + second[n] * second[n] + second[n + 1] * second[n + 1];
        if (energy > best) {
            best = energy;
            peak = n;
        }
    }
    EXPECT_NEAR(static_cast<double>(peak), ir.harmonicZeroFrames[0], 1.0);
    const double low = 2.0 * r.fromHz * std::sqrt(2.0), high = r.toHz / std::pow(2.0, 1.0 / 6.0);
    const double relative = bandLevelDb(second, r.rateHz, low, high) - bandLevelDb(ir.linear, r.rateHz, low, high);
    EXPECT_NEAR(relative, -46.02, 0.5);
    // Nothing of the third order was put in.
    EXPECT_LT(bandLevelDb(ir.harmonics[1], r.rateHz, 3 * low, high) - bandLevelDb(ir.linear, r.rateHz, low, high), -80.0);
}

}  // namespace
}  // namespace zelvaro
