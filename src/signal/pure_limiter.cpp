#include "signal/pure_limiter.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace zelvaro {

PureLimiter::PureLimiter(PureSourcePtr upstream, double limit, double negativeLimit)
    : PureSource(upstream->sampleRate, upstream->channels, upstream->lengthFrames),
      upstream_(std::move(upstream)),
      limit_(limit),
      negativeLimit_(negativeLimit > 0 ? negativeLimit : limit),
      blockLength_(std::clamp(sampleRate / 35, 20, 8192)) {
    const size_t samples = static_cast<size_t>(blockLength_) * channels;
    current_.resize(samples);
    next_.resize(samples);
    afterNext_.resize(samples);
    fill(current_, currentGain_);
    previousGain_ = currentGain_;
    fill(next_, nextGain_);
    fill(afterNext_, afterNextGain_);
    gain_ = currentGain_;
    setRamp();
}

double PureLimiter::blockGain(const std::vector<double>& block) const {
    // The gain of the sample furthest beyond its own side's limit.
    double gain = 1.0;
    for (double v : block) {
        if (v > limit_) gain = std::min(gain, limit_ / v);
        else if (v < -negativeLimit_) gain = std::min(gain, negativeLimit_ / -v);
    }
    return gain;
}

void PureLimiter::fill(std::vector<double>& block, double& gain) {
    upstream_->read(block.data(), blockLength_);
    gain = blockGain(block);
}

void PureLimiter::setRamp() {
    const double target1 = std::min(currentGain_, nextGain_) - gain_;
    const double target2 = (previousGain_ + currentGain_ + nextGain_ + afterNextGain_) / 4 - gain_;
    const double delta = std::min(target1, target2);
    rampEnd_ = gain_ + delta;
    gainStep_ = delta / blockLength_;
    blockPos_ = 0;
}

void PureLimiter::read(double* out, int frames) {
    while (frames > 0) {
        const int run = std::min(blockLength_ - blockPos_, frames);
        const double* in = current_.data() + static_cast<size_t>(blockPos_) * channels;
        if (gain_ == 1.0 && gainStep_ == 0.0) {
            std::memcpy(out, in, sizeof(double) * run * channels);
        } else {
            for (int j = 0; j < run; ++j) {
                // Rounding must not lift a ramp above its block's gain.
                const double g = std::min(gain_, currentGain_);
                for (int c = 0; c < channels; ++c) out[j * channels + c] = in[j * channels + c] * g;
                gain_ += gainStep_;
            }
        }
        out += static_cast<size_t>(run) * channels;
        frames -= run;
        blockPos_ += run;
        if (blockPos_ == blockLength_) {
            std::swap(current_, next_);
            std::swap(next_, afterNext_);
            previousGain_ = currentGain_;
            currentGain_ = nextGain_;
            nextGain_ = afterNextGain_;
            fill(afterNext_, afterNextGain_);
            // The ramp ends exactly where it was aimed, so that a signal back
            // within the limit passes unchanged again.
            gain_ = rampEnd_;
            setRamp();
        }
    }
}

}  // namespace zelvaro
