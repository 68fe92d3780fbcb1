// Impulse responses from a recording of an exponential sweep: the recording
// convolved with the sweep's inverse filter, cut into the fundamental's
// response and, earlier in time, those of the harmonics.
#pragma once

#include <vector>

#include "impulse/exp_sweep.h"

namespace zelvaro {

struct ImpulseResponses {
    // The fundamental's response. Its time zero (where a recording identical
    // to the sweep has its peak) is at frame `zeroFrame`; the frames before it
    // reach halfway to the second harmonic's response.
    std::vector<double> linear;
    int zeroFrame = 0;
    // Frames from time zero to the largest sample of `linear`: the delay of
    // the recorded loop.
    int delayFrames = 0;
    // Orders 2, 3, ...: each cut around its own time zero, which is at its own
    // frame `harmonicZeroFrames[i]`, reaching halfway to its neighbours.
    std::vector<std::vector<double>> harmonics;
    std::vector<int> harmonicZeroFrames;
};

// The whole convolution of `recorded` with the sweep's `inverse`
// (ExpSweep::inverse, made once for every channel of a recording): a
// recording identical to the sweep gives its band-limited unit impulse at
// frame sweep.frames() − 1.
std::vector<double> deconvolve(const std::vector<double>& recorded, const std::vector<double>& inverse);

// The fundamental's response and the harmonics' up to `highestOrder` (1 for
// none) from a deconvolved recording.
ImpulseResponses cutResponses(const std::vector<double>& deconvolved, const ExpSweep& sweep, int highestOrder);

}  // namespace zelvaro
