// The figures of an impulse-response measurement: what a recording of a
// sweep is (empty, silent, clipped, too short) and, for each channel, its
// responses with the delay, the peak and the harmonics' levels read from
// them. Maths only; the commands print the result.
#pragma once

#include <cstdint>
#include <vector>

#include "impulse/exp_sweep.h"
#include "impulse/frequency_response.h"
#include "impulse/impulse_response.h"

namespace zelvaro {

// A channel whose largest sample is below this is silent: nothing of the
// sweep came through (a 16-bit file's smallest step is -90 dBFS).
constexpr double kSilentPeakDbfs = -120.0;
// This many consecutive samples at the recording's full scale (or past it)
// count as clipping: a clean sweep at 0 dBFS touches full scale for a sample
// or two at its lowest frequencies, a clipped one for runs.
constexpr int kClippedRunFrames = 3;
// A run of digital silence (below kSilentPeakDbfs) at least this long
// between a channel's first and last loud sample (within kGapSpanDb of its
// peak) is a gap: the sound path dropped out, nothing a loop does. A slow
// sweep rests near zero longer at its zero crossings, so the run must also
// last a hundredth of the sweep's lowest period.
constexpr double kGapSeconds = 0.001;
constexpr double kGapSpanDb = -40.0;
// Quieter channels are not searched: their zero crossings are quantised
// to runs of zeros.
constexpr double kGapCheckPeakDbfs = -40.0;

// The largest positive value a file of `bitsPerSample` holds, read at full
// scale 1.0 (32767/32768 for 16 bits; float is taken as 32 or 64 bits).
double fullScaleOf(int bitsPerSample);

struct RecordingCheck {
    int64_t frames = 0;
    bool empty = false;               // no frames, or no channels
    int64_t nonFiniteSamples = 0;     // NaN or infinite, as the reader found them
    std::vector<bool> silentChannels;  // peak below kSilentPeakDbfs
    bool allSilent = false;
    std::vector<int64_t> clippedSamples;  // per channel, in runs of kClippedRunFrames or more
    std::vector<int64_t> gaps;            // per channel, runs of silence inside the sweep (kGapSeconds)
    std::vector<int64_t> firstGapFrames;  // per channel, where the first gap starts; -1 without one
    bool shorterThanSweep = false;
};

// The shortest run of silence that counts as a gap in a recording of `sweep`.
int64_t gapFramesOf(const ExpSweep& sweep);

// What can be told of a recording before it is deconvolved. `fullScale` is
// fullScaleOf the file's width.
RecordingCheck checkRecording(const std::vector<std::vector<double>>& channels, int64_t nonFiniteSamples,
                              double fullScale, const ExpSweep& sweep);

struct HarmonicLevel {
    int order = 2;
    double relativeDb = 0.0;  // the harmonic's level in the flat band, relative to the fundamental's
};

// Why a channel's figures may not be the loop's, in the order a report
// names them.
enum class ImpulseDoubt {
    kSilent,              // the channel's peak is below kSilentPeakDbfs
    kClipped,             // it clips (RecordingCheck::clippedSamples)
    kShorterThanSweep,    // the recording ends before the sweep did
    kGap,                 // the sweep has gaps of silence (RecordingCheck::gaps)
    kResponseOutsideCut,  // the strongest part lies outside the response kept
                          // (ImpulseResponses::strongestFromZeroFrames)
    kArrivedBeforePlayed, // a negative delay: the recording lost frames, or the
                          // input's position does not keep the output's time
};

struct ChannelImpulse {
    ImpulseResponses responses;
    double delayFrames = 0.0;  // with the playback offset taken off
    double peakDb = 0.0;       // the response's largest sample; 0 dB: a unit impulse
    // Only the orders whose band (order·√2·from to to/2^(1/6)) is not empty.
    std::vector<HarmonicLevel> harmonics;
    std::vector<ResponsePoint> response;
    std::vector<ImpulseDoubt> doubts;  // empty for a channel to be trusted
};

// One channel's responses and figures, without doubts. `playbackOffsetFrames`
// is how much later the sweep started than the recording, taken off the delay.
ChannelImpulse measureChannel(const SweepDeconvolver& deconvolver, const std::vector<double>& recorded,
                              const ExpSweep& sweep, int highestOrder, double playbackOffsetFrames);

// A whole measurement: each channel's responses, figures and doubts, and the
// band they hold flat. Every channel's responses share their time zeros.
struct ImpulseReport {
    std::vector<ChannelImpulse> channels;
    FlatBand flat;
};

// Deconvolves each channel of a recording that `check` (checkRecording) did
// not refuse, and marks the doubts it and the responses raise.
ImpulseReport measureImpulse(const std::vector<std::vector<double>>& channels, const RecordingCheck& check,
                             const ExpSweep& sweep, int highestOrder, double playbackOffsetFrames);

}  // namespace zelvaro
