#include "signal/pure_noise_source.h"

#include <cmath>

#include "base/full_scale.h"
#include "base/pi.h"

namespace zelvaro {

namespace {

// The program's ranges at full scale 1.0: white noise within +-262,144 and
// the pink filter's input within +-18,350 of 524,288.
constexpr double kWhiteRange = 0.5;
constexpr double kPinkInputRange = 32767 * 0.5600170903653066 / kChainFullScale;
constexpr double kHighPassHz = 12.0;

}  // namespace

PureNoiseSource::PureNoiseSource(bool pink, int64_t frames, uint64_t seed, uint8_t channels)
    : PureSource(kPureNoiseRate, channels, frames), pink_(pink), random_(seed) {
    // Butterworth high-pass of order 8 by the bilinear transform: four
    // sections, one per conjugate pole pair.
    const double k = std::tan(kPi * kHighPassHz / kPureNoiseRate);
    for (int s = 0; s < kHighPassSections; ++s) {
        const double q = 1.0 / (2.0 * std::cos(kPi * (2 * s + 1) / (4.0 * kHighPassSections)));
        const double norm = 1.0 / (1.0 + k / q + k * k);
        Biquad& b = highPass_[s];
        b.b0 = norm;
        b.b1 = -2.0 * norm;
        b.b2 = norm;
        b.a1 = 2.0 * (k * k - 1.0) * norm;
        b.a2 = (1.0 - k / q + k * k) * norm;
    }
}

double PureNoiseSource::pinkSample(double w) {
    b_[0] = 0.99886 * b_[0] + 0.0555179 * w;
    b_[1] = 0.99332 * b_[1] + 0.0750759 * w;
    b_[2] = 0.969 * b_[2] + 0.153852 * w;
    b_[3] = 0.8665 * b_[3] + 0.3104856 * w;
    b_[4] = 0.55 * b_[4] + 0.5329522 * w;
    b_[5] = -0.7616 * b_[5] - 0.016898 * w;
    double out = b_[0] + b_[1] + b_[2] + b_[3] + b_[4] + b_[5] + b_[6] + 0.5362 * w;
    b_[6] = 0.115926 * w;
    for (Biquad& b : highPass_) out = b.run(out);
    return out;
}

void PureNoiseSource::read(double* out, int frames) {
    for (int i = 0; i < frames; ++i) {
        const double u = 2.0 * random_.uniform() - 1.0;
        const double v = pink_ ? pinkSample(u * kPinkInputRange) : u * kWhiteRange;
        for (int c = 0; c < channels; ++c) out[static_cast<size_t>(i) * channels + c] = v;
    }
}

}  // namespace zelvaro
