#include "impulse/exp_sweep.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "impulse/frequency_response.h"
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

// Each limit from both sides, at the constants the commands check against.
TEST(ExpSweep, RefusesRequestsItCannotSweep) {
    const double longestAt48k = static_cast<double>(kMaxSweepFrames) / 48000;
    struct Case {
        const char* name;
        SweepRequest request;
        bool valid;
    } cases[] = {
        {"20 Hz to 20 kHz, 10 s", Request(20, 20000, 10, 48000), true},
        {"from 0 Hz", Request(0, 20000, 10, 48000), false},
        {"downwards", Request(2000, 1000, 10, 48000), false},
        {"to Nyquist", Request(20, 24000, 10, 48000), false},
        {"from NaN", Request(NAN, 20000, 10, 48000), false},
        {"shortest", Request(20, 20000, kMinSweepSeconds, 48000), true},
        {"shorter than the shortest", Request(20, 20000, kMinSweepSeconds * 0.99, 48000), false},
        {"lowest rate", Request(20, 3000, 10, kMinSweepRateHz), true},
        {"below the lowest rate", Request(20, 3000, 10, kMinSweepRateHz - 1), false},
        {"highest rate", Request(20, 20000, 10, kMaxSweepRateHz), true},
        {"above the highest rate", Request(20, 20000, 10, kMaxSweepRateHz + 1), false},
        {"peak 0 dBFS", Request(20, 20000, 10, 48000, 0, 0.0), true},
        {"peak above 0 dBFS", Request(20, 20000, 10, 48000, 0, 0.5), false},
        {"quietest peak", Request(20, 20000, 10, 48000, 0, kMinSweepPeakDbfs), true},
        {"below the quietest peak", Request(20, 20000, 10, 48000, 0, kMinSweepPeakDbfs - 1), false},
        {"negative fade", Request(20, 20000, 10, 48000, -1), false},
        {"longest fade", Request(20, 20000, 10, 48000, kMaxSweepFadeMs), true},
        {"past the longest fade", Request(20, 20000, 10, 48000, kMaxSweepFadeMs + 1), false},
        // The flat band: from·√2 must lie below to/2^(1/6).
        {"1000 to 1500 Hz", Request(1000, 1500, 10, 48000), false},
        {"19999 to 20000 Hz", Request(19999, 20000, 10, 48000), false},
        {"a flat band just wide", Request(1000, 1000 * kFlatLowRatio * kFlatHighRatio * 1.001, 1, 48000), true},
        {"a flat band just empty", Request(1000, 1000 * kFlatLowRatio * kFlatHighRatio * 0.999, 1, 48000), false},
        // The length limits: one cycle of 0.001 Hz makes a 4.7-hour sweep;
        // ten minutes at the lowest rate fit, an hour at 192 kHz does not.
        {"one cycle of 0.001 Hz", Request(0.001, 20000, 10, 48000), false},
        {"longest at the lowest rate", Request(20, 3000, kMaxSweepSeconds, kMinSweepRateHz), true},
        {"past the longest", Request(20, 3000, kMaxSweepSeconds + 1, kMinSweepRateHz), false},
        {"an hour at 192 kHz", Request(20, 20000, 3600, 192000), false},
        {"past the most frames", Request(20, 20000, longestAt48k + 1, 48000), false},
        {"within the most frames", Request(20, 20000, longestAt48k - 1, 48000), true},
    };
    for (const Case& c : cases) {
        const SweepRequestCheck check = checkSweepRequest(c.request);
        EXPECT_EQ(check.ok(), c.valid) << c.name << ": " << check.error;
        EXPECT_EQ(check.error.empty(), c.valid) << c.name;
    }
}

// The band the inverse holds flat is √2·from to to/2^(1/6): the sweep's
// inverse passes it whole and rolls off outside it, and the response table
// marks exactly its points.
TEST(ExpSweep, OneFlatBandForTheInverseAndTheTable) {
    const ExpSweep sweep(Request(50, 16000, 1, 44100));
    const FlatBand flat = sweep.flatBand();
    EXPECT_DOUBLE_EQ(flat.lowHz, 50 * std::sqrt(2.0));
    EXPECT_DOUBLE_EQ(flat.highHz, 16000 / std::pow(2.0, 1.0 / 6));
    for (double edge : {flat.lowHz, flat.highHz}) EXPECT_EQ(sweep.passGain(edge), 1.0) << edge;
    EXPECT_LT(sweep.passGain(flat.lowHz * 0.99), 1.0);
    EXPECT_LT(sweep.passGain(flat.highHz * 1.01), 1.0);

    std::vector<ResponsePoint> points;
    for (double hz : {50.0, flat.lowHz * 0.999, flat.lowHz * 1.001, 1000.0, flat.highHz * 0.999, flat.highHz * 1.001})
        points.push_back({hz, 0.0, 0.0});
    const std::string csv = responseCsv({points}, flat);
    EXPECT_EQ(csv, "Hz,dB,degrees,flat\n"
                   "50.000,0.000,0.00,0\n"
                   "70.640,0.000,0.00,0\n"
                   "70.781,0.000,0.00,1\n"
                   "1000.000,0.000,0.00,1\n"
                   "14240.125,0.000,0.00,1\n"
                   "14268.634,0.000,0.00,0\n");
}

}  // namespace
}  // namespace zelvaro
