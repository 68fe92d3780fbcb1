// Sweep requests for the tests, in one line each.
#pragma once

#include "impulse/exp_sweep.h"

namespace zelvaro {

inline SweepRequest Request(double from, double to, double seconds, int rate, double fadeMs = 0.0,
                            double peak = -1.0) {
    SweepRequest r;
    r.fromHz = from;
    r.toHz = to;
    r.seconds = seconds;
    r.rateHz = rate;
    r.fadeMs = fadeMs;
    r.peakDbfs = peak;
    return r;
}

}  // namespace zelvaro
