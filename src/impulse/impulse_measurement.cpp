#include "impulse/impulse_measurement.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "base/decibel_floor.h"

namespace zelvaro {

double fullScaleOf(int bitsPerSample) {
    const int bits = std::clamp(bitsPerSample, 8, 64);
    return 1.0 - std::ldexp(1.0, -(bits - 1));
}

int64_t gapFramesOf(const ExpSweep& sweep) {
    const double rate = sweep.rateHz();
    return static_cast<int64_t>(std::ceil(std::max(kGapSeconds * rate, rate / (100.0 * sweep.fromHz()))));
}

namespace {

struct Gaps {
    int64_t count = 0;
    int64_t firstFrame = -1;
};

// Runs of at least `gapFrames` samples below `silent` between the first and
// the last sample within kGapSpanDb of `peak`.
Gaps findGaps(const std::vector<double>& channel, double peak, double silent, int64_t gapFrames) {
    Gaps gaps;
    if (!(peak >= std::pow(10.0, kGapCheckPeakDbfs / 20.0))) return gaps;
    const double loud = peak * std::pow(10.0, kGapSpanDb / 20.0);
    const auto isLoud = [&](double v) { return std::fabs(v) >= loud; };
    const auto first = std::find_if(channel.begin(), channel.end(), isLoud);
    const auto last = std::find_if(channel.rbegin(), channel.rend(), isLoud).base();
    int64_t run = 0;
    for (auto at = first; at < last; ++at) {
        if (std::fabs(*at) < silent) {
            if (++run == gapFrames) {
                ++gaps.count;
                if (gaps.firstFrame < 0) gaps.firstFrame = (at - channel.begin()) - (gapFrames - 1);
            }
        } else {
            run = 0;
        }
    }
    return gaps;
}

}  // namespace

RecordingCheck checkRecording(const std::vector<std::vector<double>>& channels, int64_t nonFiniteSamples,
                              double fullScale, const ExpSweep& sweep) {
    RecordingCheck check;
    check.frames = channels.empty() ? 0 : static_cast<int64_t>(channels.front().size());
    check.empty = check.frames == 0;
    check.nonFiniteSamples = nonFiniteSamples;
    check.shorterThanSweep = check.frames < sweep.frames();
    const double silent = std::pow(10.0, kSilentPeakDbfs / 20.0);
    check.allSilent = true;
    for (const std::vector<double>& channel : channels) {
        double peak = 0.0;
        int64_t clipped = 0, run = 0;
        for (double v : channel) {
            const double magnitude = std::fabs(v);
            peak = std::max(peak, magnitude);
            if (magnitude >= fullScale) {
                ++run;
                if (run == kClippedRunFrames) clipped += run;
                else if (run > kClippedRunFrames) ++clipped;
            } else {
                run = 0;
            }
        }
        check.silentChannels.push_back(!(peak >= silent));
        check.allSilent = check.allSilent && check.silentChannels.back();
        check.clippedSamples.push_back(clipped);
        const Gaps gaps = findGaps(channel, peak, silent, gapFramesOf(sweep));
        check.gaps.push_back(gaps.count);
        check.firstGapFrames.push_back(gaps.firstFrame);
    }
    return check;
}

ChannelImpulse measureChannel(const SweepDeconvolver& deconvolver, const std::vector<double>& recorded,
                              const ExpSweep& sweep, int highestOrder, double playbackOffsetFrames) {
    ChannelImpulse out;
    out.responses = deconvolver.responses(recorded, highestOrder);
    const ImpulseResponses& ir = out.responses;
    const int rate = sweep.rateHz();
    out.delayFrames = static_cast<double>(ir.delayFrames) - playbackOffsetFrames;
    const size_t peakAt = static_cast<size_t>(ir.zeroFrame + ir.delayFrames);
    const double peak = peakAt < ir.linear.size() ? std::fabs(ir.linear[peakAt]) : 0.0;
    out.peakDb = 20.0 * std::log10(peak + kLogFloor);
    const double low = sweep.flatBand().lowHz, high = sweep.flatBand().highHz;
    const double fundamental = bandLevelDb(ir.linear, rate, low, high);
    for (size_t h = 0; h < ir.harmonics.size(); ++h) {
        const int order = static_cast<int>(h) + 2;
        // A harmonic of order k can only show where k times the swept
        // frequency is still within the sweep.
        if (order * low < high)
            out.harmonics.push_back({order, bandLevelDb(ir.harmonics[h], rate, order * low, high) - fundamental});
    }
    out.response = frequencyResponse(ir.linear, static_cast<int>(ir.zeroFrame + ir.delayFrames), rate, sweep.fromHz(),
                                     sweep.toHz());
    return out;
}

ImpulseReport measureImpulse(const std::vector<std::vector<double>>& channels, const RecordingCheck& check,
                             const ExpSweep& sweep, int highestOrder, double playbackOffsetFrames) {
    ImpulseReport report;
    report.flat = sweep.flatBand();
    const SweepDeconvolver deconvolver(sweep);
    for (size_t c = 0; c < channels.size(); ++c) {
        ChannelImpulse channel = measureChannel(deconvolver, channels[c], sweep, highestOrder, playbackOffsetFrames);
        const bool silent = c < check.silentChannels.size() && check.silentChannels[c];
        if (silent) channel.doubts.push_back(ImpulseDoubt::kSilent);
        if (c < check.clippedSamples.size() && check.clippedSamples[c] > 0)
            channel.doubts.push_back(ImpulseDoubt::kClipped);
        if (check.shorterThanSweep) channel.doubts.push_back(ImpulseDoubt::kShorterThanSweep);
        if (c < check.gaps.size() && check.gaps[c] > 0) channel.doubts.push_back(ImpulseDoubt::kGap);
        if (channel.responses.strongestOutsideCut) channel.doubts.push_back(ImpulseDoubt::kResponseOutsideCut);
        // A silent channel's delay is its response's first frame: no arrival.
        if (channel.delayFrames < 0.0 && !silent) channel.doubts.push_back(ImpulseDoubt::kArrivedBeforePlayed);
        report.channels.push_back(std::move(channel));
    }
    return report;
}

}  // namespace zelvaro
