// The peak limiter of the pure path: the program's limiter (one gain per
// block of rate / 35 frames from the block's peak, three blocks of look-ahead,
// a linear ramp from block to block that never rises above a block's own
// gain) in double precision. Signals within the limit pass unchanged. The
// limits may differ by sign, as a PCM format's range does (-32768 to 32767):
// a sample at a format's lowest code is within the limit and passes.
#pragma once

#include <vector>

#include "signal/pure_source.h"

namespace zelvaro {

class PureLimiter final : public PureSource {
public:
    // Holds positive samples at or below `limit` and negative ones at or
    // above -`negativeLimit` (by default the same magnitude).
    PureLimiter(PureSourcePtr upstream, double limit, double negativeLimit = 0);

    void read(double* out, int frames) override;

private:
    double blockGain(const std::vector<double>& block) const;
    void fill(std::vector<double>& block, double& gain);
    void setRamp();

    PureSourcePtr upstream_;
    double limit_;
    double negativeLimit_;
    int blockLength_;
    int blockPos_ = 0;
    std::vector<double> current_, next_, afterNext_;
    double previousGain_ = 1, currentGain_ = 1, nextGain_ = 1, afterNextGain_ = 1;
    double gain_ = 1, gainStep_ = 0, rampEnd_ = 1;
};

}  // namespace zelvaro
