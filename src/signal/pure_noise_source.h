// White and pink noise on the pure path, at 44,100 Hz like the program's
// noise: white noise uniform over the same range (half full scale), pink
// noise through the same filter bank as the program's pink noise followed
// by an eighth-order high-pass at 12 Hz, which keeps the -3 dB per octave
// slope from 20 Hz up while leaving almost no power below 10 Hz. A seed gives
// the same noise on every run.
#pragma once

#include <cstdint>

#include "base/pure_random.h"
#include "signal/pure_source.h"

namespace zelvaro {

constexpr int32_t kPureNoiseRate = 44100;

class PureNoiseSource final : public PureSource {
public:
    // Two channels carry the same noise.
    PureNoiseSource(bool pink, int64_t frames, uint64_t seed, uint8_t channels = 1);

    void read(double* out, int frames) override;

private:
    struct Biquad {
        double b0, b1, b2, a1, a2;
        double z1 = 0, z2 = 0;
        double run(double x) {
            const double y = b0 * x + z1;
            z1 = b1 * x - a1 * y + z2;
            z2 = b2 * x - a2 * y;
            return y;
        }
    };
    static constexpr int kHighPassSections = 4;

    double pinkSample(double w);

    bool pink_;
    PureRandom random_;
    double b_[7] = {};
    Biquad highPass_[kHighPassSections];
};

}  // namespace zelvaro
