#include "impulse/exp_sweep.h"

#include <gtest/gtest.h>

#include <cmath>

#include "impulse/sweep_requests.h"

namespace zelvaro {
namespace {

// Upward zero crossings found in the samples by linear interpolation.
std::vector<double> UpwardCrossingSeconds(const std::vector<double>& x, int rate) {
    std::vector<double> out;
    for (size_t n = 1; n < x.size(); ++n)
        if (x[n - 1] < 0.0 && x[n] >= 0.0)
            out.push_back((static_cast<double>(n) - 1.0 + x[n - 1] / (x[n - 1] - x[n])) / rate);
    return out;
}

TEST(ExpSweep, StartsOnZeroAndLastsAWholeNumberOfStartCycles) {
    const SweepRequest cases[] = {
        Request(20, 20000, 10, 48000), Request(20, 20000, 2, 44100, 50), Request(100, 8000, 0.5, 96000),
        Request(1000, 2000, 0.1, 8000),
    };
    for (const SweepRequest& r : cases) {
        const ExpSweep sweep(r);
        const std::vector<double> x = sweep.samples();
        ASSERT_EQ(static_cast<int>(x.size()), sweep.frames());
        EXPECT_EQ(x[0], 0.0) << r.seconds;
        const double cycles = r.fromHz * sweep.rateConstantSeconds();
        EXPECT_NEAR(cycles, std::round(cycles), 1e-9) << "synchronised: L·from is whole";
        EXPECT_NEAR(sweep.lengthSeconds(), r.seconds, 0.5 / r.fromHz * std::log(r.toHz / r.fromHz) + 1e-9);
        double peak = 0.0;
        for (double v : x)
            peak = std::max(peak, std::fabs(v));
        EXPECT_NEAR(20.0 * std::log10(peak), r.peakDbfs, 0.01);
    }
}

// Between zero crossings found in the samples, the sweep runs through the
// number of cycles its exponential law gives, L·(f(t_b) − f(t_a)), to 0.01 %.
TEST(ExpSweep, FrequencyFollowsTheExponentialLaw) {
    const ExpSweep sweep(Request(20, 20000, 10, 48000));
    const std::vector<double> crossings = UpwardCrossingSeconds(sweep.samples(), 48000);
    const double L = sweep.rateConstantSeconds();
    for (double hz : {40.0, 200.0, 1000.0, 5000.0, 12000.0}) {
        const double at = L * std::log(hz / 20.0);
        size_t a = 0;
        while (a < crossings.size() && crossings[a] < at)
            ++a;
        const size_t b = a + 100;
        ASSERT_LT(b, crossings.size()) << hz;
        const double lawCycles =
            L * (sweep.instantaneousFrequencyHz(crossings[b]) - sweep.instantaneousFrequencyHz(crossings[a]));
        EXPECT_NEAR(lawCycles / 100.0, 1.0, 1e-4) << hz << " Hz";
    }
    EXPECT_NEAR(sweep.instantaneousFrequencyHz(sweep.lengthSeconds()), 20000.0, 1e-6);
}

// Fades change nothing between √2·from and to/2^(1/6), however long they are
// asked to be, and still start on 0.
TEST(ExpSweep, FadesLeaveTheBandUntouched) {
    const ExpSweep plain(Request(50, 16000, 1, 44100));
    const std::vector<double> reference = plain.samples();
    for (double fadeMs : {5.0, 50.0, 5000.0}) {
        const ExpSweep faded(Request(50, 16000, 1, 44100, fadeMs));
        const std::vector<double> x = faded.samples();
        const double L = faded.rateConstantSeconds();
        const double bandStart = L * std::log(std::sqrt(2.0));
        const double bandEnd = faded.lengthSeconds() - L * std::log(2.0) / 6.0;
        EXPECT_LE(faded.fadeInSeconds(), bandStart + 1e-12);
        EXPECT_LE(faded.lengthSeconds() - faded.fadeOutSeconds(), faded.lengthSeconds());
        EXPECT_GE(faded.lengthSeconds() - faded.fadeOutSeconds(), bandEnd - 1e-12);
        int changed = 0, changedInBand = 0;
        for (size_t n = 0; n < x.size(); ++n) {
            const double t = static_cast<double>(n) / 44100;
            if (x[n] != reference[n]) {
                ++changed;
                if (t >= bandStart && t <= bandEnd)
                    ++changedInBand;
            }
        }
        EXPECT_GT(changed, 0) << fadeMs;
        EXPECT_EQ(changedInBand, 0) << fadeMs;
        EXPECT_EQ(x[0], 0.0);
        EXPECT_NEAR(x.back(), 0.0, 1e-3) << "faded out";
    }
}

TEST(ExpSweep, RefusesRequestsItCannotSweep) {
    struct Case {
        SweepRequest request;
        bool valid;
    } cases[] = {
        {Request(20, 20000, 10, 48000), true},
        {Request(0, 20000, 10, 48000), false},
        {Request(2000, 1000, 10, 48000), false},
        {Request(20, 24000, 10, 48000), false},
        {Request(20, 20000, 0.01, 48000), false},
        {Request(20, 20000, 10, 1000), false},
        {Request(20, 20000, 10, 48000, -1), false},
        {Request(20, 20000, 10, 48000, 0, 0.5), false},
        {Request(NAN, 20000, 10, 48000), false},
        // The flat band: from·√2 must lie below to/2^(1/6).
        {Request(1000, 1500, 10, 48000), false},
        {Request(19999, 20000, 10, 48000), false},
        {Request(1000, 1000 * kFlatLowRatio * kFlatHighRatio * 1.001, 1, 48000), true},
        {Request(1000, 1000 * kFlatLowRatio * kFlatHighRatio * 0.999, 1, 48000), false},
        // The length limits: one cycle of 0.001 Hz makes a 4.7-hour sweep;
        // ten minutes at the lowest rate fit, an hour at 192 kHz does not.
        {Request(0.001, 20000, 10, 48000), false},
        {Request(20, 3000, kMaxSweepSeconds, 8000), true},
        {Request(20, 3000, kMaxSweepSeconds + 1, 8000), false},
        {Request(20, 20000, 3600, 192000), false},
        {Request(20, 20000, static_cast<double>(kMaxSweepFrames) / 48000 + 1, 48000), false},
        {Request(20, 20000, static_cast<double>(kMaxSweepFrames) / 48000 - 1, 48000), true},
    };
    for (const Case& c : cases) {
        std::string why;
        EXPECT_EQ(validSweepRequest(c.request, &why), c.valid)
            << c.request.fromHz << " " << c.request.toHz << " " << c.request.seconds << ": " << why;
        EXPECT_EQ(why.empty(), c.valid);
    }
}

}  // namespace
}  // namespace zelvaro
