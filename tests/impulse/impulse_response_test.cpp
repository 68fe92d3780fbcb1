#include "impulse/impulse_response.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>

#include "fft/fft.h"
#include "impulse/frequency_response.h"
#include "impulse/impulse_measurement.h"
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

namespace zelvaro {
namespace {

// The block convolution gives the whole convolution's responses, whatever
// the recording's length (odd, prime, shorter than one block, many blocks).
TEST(SweepDeconvolver, BlocksGiveTheWholeConvolutionsResponses) {
    const ExpSweep sweep(Request(50, 15000, 0.3, 44100, 5));
    const std::vector<double> x = sweep.samples();
    const SweepDeconvolver deconvolver(sweep);
    for (size_t tail : {size_t{0}, size_t{1}, size_t{4410}, size_t{100003}, size_t{400001}}) {
        std::vector<double> recorded(123, 0.0);
        recorded.insert(recorded.end(), x.begin(), x.end());
        recorded.resize(recorded.size() + tail, 0.0);
        for (size_t n = 0; n < recorded.size(); ++n) recorded[n] += 1e-4 * std::sin(0.37 * static_cast<double>(n));
        const ImpulseResponses whole = cutResponses(deconvolve(recorded, sweep.inverse()), sweep, 3);
        const ImpulseResponses blocks = deconvolver.responses(recorded, 3);
        ASSERT_EQ(blocks.linear.size(), whole.linear.size()) << "tail " << tail;
        EXPECT_EQ(blocks.delayFrames, 123) << "tail " << tail;
        EXPECT_EQ(blocks.zeroFrame, whole.zeroFrame);
        double furthest = 0.0;
        for (size_t n = 0; n < whole.linear.size(); ++n)
            furthest = std::max(furthest, std::fabs(blocks.linear[n] - whole.linear[n]));
        for (size_t h = 0; h < whole.harmonics.size(); ++h)
            for (size_t n = 0; n < whole.harmonics[h].size(); ++n)
                furthest = std::max(furthest, std::fabs(blocks.harmonics[h][n] - whole.harmonics[h][n]));
        EXPECT_LT(furthest, 1e-9) << "tail " << tail;
        EXPECT_FALSE(blocks.strongestOutsideCut) << "tail " << tail;
    }
}

// The response kept after time zero stops at the sweep's length or
// kResponseSecondsAfterZero, and a sweep recorded later than that is found
// outside the cut.
TEST(SweepDeconvolver, ALateSweepLiesOutsideTheCut) {
    const ExpSweep sweep(Request(50, 15000, 0.3, 32000, 5));
    const std::vector<double> x = sweep.samples();
    const int64_t keptAfter = static_cast<int64_t>(kResponseSecondsAfterZero * sweep.rateHz());
    for (int64_t late : {keptAfter - 1000, keptAfter + 1000}) {
        std::vector<double> recorded(static_cast<size_t>(late), 0.0);
        recorded.insert(recorded.end(), x.begin(), x.end());
        recorded.resize(recorded.size() + 1000, 0.0);
        const ImpulseResponses ir = SweepDeconvolver(sweep).responses(recorded, 1);
        EXPECT_EQ(static_cast<int64_t>(ir.linear.size()) - ir.zeroFrame, keptAfter) << late;
        EXPECT_EQ(ir.strongestFromZeroFrames, late);
        EXPECT_EQ(ir.strongestOutsideCut, late >= keptAfter) << late;
    }
}

// What the help promises: half an hour of 48 kHz stereo is deconvolved
// within the memory limit with a sweep of up to a minute (measured: 1.45 GB
// at most resident with a 10 s sweep); an hour is refused before it is read.
TEST(SweepDeconvolver, MemoryBoundTakesHalfAnHourOfStereo) {
    const uint64_t halfHour = 30 * 60 * 48000, hour = 2 * halfHour;
    struct Case {
        double sweepSeconds;
        uint64_t frames;
        bool fits;
    } cases[] = {{10, halfHour, true}, {60, halfHour, true}, {10, hour, false}, {170, halfHour, false}};
    for (const Case& c : cases) {
        const ExpSweep sweep(Request(20, 20000, c.sweepSeconds, 48000));
        const uint64_t bytes = SweepDeconvolver::bytesNeeded(sweep, c.frames, 2, 1);
        EXPECT_EQ(bytes <= kMaxDeconvolutionBytes, c.fits) << c.sweepSeconds << " s, " << c.frames << ": " << bytes;
        EXPECT_GE(bytes, 16 * c.frames) << "the recording itself, as doubles";
    }
}

TEST(RecordingCheck, FindsWhatCannotBeMeasured) {
    const ExpSweep sweep(Request(50, 15000, 0.1, 32000));
    const std::vector<double> x = sweep.samples();
    const double fullScale16 = fullScaleOf(16);
    std::vector<double> clipped = x;
    for (size_t n = 100; n < 100 + kClippedRunFrames; ++n) clipped[n] = fullScale16;
    std::vector<double> almost = x;
    for (size_t n = 100; n + 1 < 100 + kClippedRunFrames; ++n) almost[n] = -1.0;
    // A dropout inside the sweep, one a sample short of a gap, and silence
    // around the sweep, which is no gap.
    const size_t gap = static_cast<size_t>(gapFramesOf(sweep));
    std::vector<double> dropout = x, shortDropout = x;
    std::fill_n(dropout.begin() + 1000, gap, 0.0);
    std::fill_n(shortDropout.begin() + 1000, gap - 1, 0.0);
    std::vector<double> framed(3000, 0.0);
    framed.insert(framed.end(), x.begin(), x.end());
    framed.resize(framed.size() + 3000, 0.0);
    // The same dropout in a channel too quiet to search, and the sweep as a
    // 16-bit file holds it, its zero crossings quantised.
    std::vector<double> quiet = dropout, quantised = x;
    for (double& v : quiet) v *= 0.005;
    for (double& v : quantised) v = std::round(v * 32768.0) / 32768.0;
    struct Case {
        const char* name;
        std::vector<std::vector<double>> channels;
        int64_t nonFinite;
        bool empty, allSilent, shorter;
        int64_t clipped;
        int64_t gaps = 0, firstGapFrame = -1;
    } cases[] = {
        {"the sweep", {x}, 0, false, false, false, 0},
        {"no channels", {}, 0, true, true, true, 0},
        {"no frames", {{}}, 0, true, true, true, 0},
        {"silence", {std::vector<double>(x.size(), 0.0)}, 0, false, true, false, 0},
        {"below -120 dBFS", {std::vector<double>(x.size(), 0.9e-6)}, 0, false, true, false, 0},
        {"a NaN read as 0", {x}, 1, false, false, false, 0},
        {"a run at full scale", {clipped}, 0, false, false, false, kClippedRunFrames},
        {"a run one short", {almost}, 0, false, false, false, 0},
        {"half the sweep", {std::vector<double>(x.begin(), x.begin() + x.size() / 2)}, 0, false, false, true, 0},
        {"a dropout", {dropout}, 0, false, false, false, 0, 1, 1000},
        {"a dropout one short", {shortDropout}, 0, false, false, false, 0},
        {"silence around the sweep", {framed}, 0, false, false, false, 0},
        {"a dropout at -46 dBFS", {quiet}, 0, false, false, false, 0},
        {"quantised to 16 bits", {quantised}, 0, false, false, false, 0},
    };
    // A sweep from 0.2 Hz at -40 dBFS rests on zero for 19 frames of a 16-bit
    // file at each slow zero crossing: longer than 1 ms, no gap.
    const ExpSweep slow(Request(0.2, 1000, 1, 8000, 0, -40));
    std::vector<double> slowQuantised = slow.samples();
    for (double& v : slowQuantised) v = std::round(v * 32768.0) / 32768.0;
    const RecordingCheck slowCheck = checkRecording({slowQuantised}, 0, fullScale16, slow);
    EXPECT_EQ(slowCheck.gaps, std::vector<int64_t>{0}) << "a slow sweep at -40 dBFS in 16 bits";
    for (const Case& c : cases) {
        const RecordingCheck check = checkRecording(c.channels, c.nonFinite, fullScale16, sweep);
        EXPECT_EQ(check.empty, c.empty) << c.name;
        EXPECT_EQ(check.allSilent, c.allSilent) << c.name;
        EXPECT_EQ(check.shorterThanSweep, c.shorter) << c.name;
        EXPECT_EQ(check.nonFiniteSamples, c.nonFinite) << c.name;
        EXPECT_EQ(check.clippedSamples.empty() ? 0 : check.clippedSamples[0], c.clipped) << c.name;
        EXPECT_EQ(check.gaps.empty() ? 0 : check.gaps[0], c.gaps) << c.name;
        EXPECT_EQ(check.firstGapFrames.empty() ? -1 : check.firstGapFrames[0], c.firstGapFrame) << c.name;
    }
}

// Each channel's doubts are its own: a clipped channel beside a silent one,
// one with a gap and a clean one, the report's band the sweep's.
TEST(ImpulseReport, MarksEachChannelWithItsOwnDoubts) {
    const ExpSweep sweep(Request(50, 15000, 0.3, 32000));
    const std::vector<double> x = sweep.samples();
    std::vector<double> clipped = x;
    for (size_t n = 100; n < 100 + kClippedRunFrames; ++n) clipped[n] = 1.0;
    std::vector<double> dropout = x;
    std::fill_n(dropout.begin() + 2000, gapFramesOf(sweep), 0.0);
    const std::vector<std::vector<double>> channels = {x, std::vector<double>(x.size(), 0.0), clipped, dropout};
    const RecordingCheck check = checkRecording(channels, 0, fullScaleOf(16), sweep);
    const ImpulseReport report = measureImpulse(channels, check, sweep, 2, 0.0);
    ASSERT_EQ(report.channels.size(), 4u);
    EXPECT_TRUE(report.channels[0].doubts.empty());
    EXPECT_EQ(report.channels[1].doubts, std::vector<ImpulseDoubt>{ImpulseDoubt::kSilent});
    EXPECT_EQ(report.channels[2].doubts, std::vector<ImpulseDoubt>{ImpulseDoubt::kClipped});
    EXPECT_EQ(report.channels[3].doubts, std::vector<ImpulseDoubt>{ImpulseDoubt::kGap});
    EXPECT_EQ(report.channels[0].delayFrames, 0.0);
    // A sweep that arrives before the playback offset said it was played.
    const ImpulseReport early = measureImpulse({x}, checkRecording({x}, 0, fullScaleOf(16), sweep), sweep, 2, 10.0);
    EXPECT_EQ(early.channels[0].delayFrames, -10.0);
    EXPECT_EQ(early.channels[0].doubts, std::vector<ImpulseDoubt>{ImpulseDoubt::kArrivedBeforePlayed});
    EXPECT_EQ(report.flat.lowHz, sweep.flatBand().lowHz);
    EXPECT_EQ(report.flat.highHz, sweep.flatBand().highHz);
}

}  // namespace
}  // namespace zelvaro
