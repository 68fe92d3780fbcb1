// Impulse responses from a recording of an exponential sweep: the recording
// convolved with the sweep's inverse filter, cut into the fundamental's
// response and, earlier in time, those of the harmonics.
#pragma once

#include <complex>
#include <cstdint>
#include <vector>

#include "impulse/exp_sweep.h"

namespace zelvaro {

// How far the fundamental's response reaches past its time zero: as far as
// the recording runs past the sweep (and the inverse's 50 ms of edge
// ringing), but for a recording much longer than the sweep no further than
// the sweep's own length or this many seconds, whichever is longer. What
// lies beyond is the recording's noise, or a sweep that started too late.
constexpr double kResponseSecondsAfterZero = 10.0;
// The memory a deconvolution may take, the recording included
// (SweepDeconvolver::bytesNeeded): 30 minutes of stereo at 48 kHz fit with
// a sweep of up to a few minutes; beyond, the command refuses before
// reading the recording.
constexpr uint64_t kMaxDeconvolutionBytes = 2ull << 30;

struct ImpulseResponses {
    // The fundamental's response. Its time zero (where a recording identical
    // to the sweep has its peak) is at frame `zeroFrame`; the frames before it
    // reach halfway to the second harmonic's response.
    std::vector<double> linear;
    int64_t zeroFrame = 0;
    // Frames from time zero to the largest sample of `linear`: the delay of
    // the recorded loop.
    int64_t delayFrames = 0;
    // Orders 2, 3, ...: each cut around its own time zero, which is at its own
    // frame `harmonicZeroFrames[i]`, reaching halfway to its neighbours.
    std::vector<std::vector<double>> harmonics;
    std::vector<int64_t> harmonicZeroFrames;
    // The largest sample of the whole deconvolution, in frames from time
    // zero, and whether it lies outside the fundamental's cut: then the
    // response in the cut is not the loop's (a sweep that started far too
    // late, or a recording that is not of this sweep).
    int64_t strongestFromZeroFrames = 0;
    bool strongestOutsideCut = false;
};

// The whole convolution of `recorded` with the sweep's `inverse`
// (ExpSweep::inverse): a recording identical to the sweep gives its
// band-limited unit impulse at frame sweep.frames() − 1. For short signals.
std::vector<double> deconvolve(const std::vector<double>& recorded, const std::vector<double>& inverse);

// The fundamental's response and the harmonics' up to `highestOrder` (1 for
// none) from a whole deconvolved recording.
ImpulseResponses cutResponses(const std::vector<double>& deconvolved, const ExpSweep& sweep, int highestOrder);

// The same responses from the recording itself, convolved block by block
// (overlap-save), so that only the frames the cuts keep are held, whatever
// the recording's length. The inverse and its spectrum are made once.
class SweepDeconvolver {
public:
    explicit SweepDeconvolver(const ExpSweep& sweep);

    ImpulseResponses responses(const std::vector<double>& recorded, int highestOrder) const;

    // A bound on the bytes a deconvolution of `recordingFrames` frames of
    // `channels` channels takes, the recording held as doubles included,
    // for a check before anything is read or made.
    static uint64_t bytesNeeded(const ExpSweep& sweep, uint64_t recordingFrames, int channels, int highestOrder);

private:
    ExpSweep sweep_;
    size_t inverseFrames_ = 0;
    size_t blockSize_ = 0;  // the transform's length
    std::vector<std::complex<double>> inverseSpectrum_;
};

}  // namespace zelvaro
