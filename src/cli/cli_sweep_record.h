// A sweep file's record as the sweep it asks for: the one place where the
// file's notes (wavefile) meet the sweep's maths (impulse), for deconvolve
// and the sweep-file fuzz target.
#pragma once

#include "impulse/exp_sweep.h"
#include "wavefile/sample_file.h"

namespace zelvaro::cli {

// The sweep a sweep file's record names, at the file's rate.
inline SweepRequest sweepRequestOf(const SampleFile& file) {
    SweepRequest request;
    request.fromHz = file.sweep.fromHz;
    request.toHz = file.sweep.toHz;
    request.seconds = file.sweep.seconds;
    request.peakDbfs = file.sweep.peakDbfs;
    request.fadeMs = file.sweep.fadeMs;
    request.rateHz = file.rateHz;
    return request;
}

}  // namespace zelvaro::cli
