// The sample-rate converter of the pure path: a Kaiser-windowed sinc in
// double precision, about 130 dB of stop-band rejection, passing up to 91 %
// of the lower rate's Nyquist frequency. The kernel is tabulated at every
// phase the two rates meet at (linearly interpolated between 4,096 phases
// per input sample when they meet at more). As in the program's converter,
// the first output frame is centred on the first input frame.
#pragma once

#include <vector>

#include "signal/pure_source.h"

namespace zelvaro {

class PureRateConverter final : public PureSource {
public:
    PureRateConverter(PureSourcePtr upstream, int32_t targetRate);

    void read(double* out, int frames) override;

    // Input frames on either side of an output frame that the kernel spans.
    int halfWidth() const { return halfWidth_; }

private:
    // Makes sure input frames up to `last` (absolute) are in the buffer.
    void fetchUpTo(int64_t last);

    PureSourcePtr upstream_;
    int64_t inRate_, outRate_;
    int halfWidth_;
    int phases_;              // table rows per input sample
    std::vector<double> kernel_;  // (2 * halfWidth_ * phases_ + 2) values, from -halfWidth_ on
    std::vector<double> input_;   // input frames from bufferStart_ on
    int64_t bufferStart_;
    int64_t outputFrame_ = 0;
};

}  // namespace zelvaro
