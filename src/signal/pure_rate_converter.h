// The sample-rate converter of the pure path: a Kaiser-windowed sinc in
// double precision, flat within +-0.0001 dB up to 90.75 % of the lower rate's
// Nyquist frequency (20 kHz at 44.1 kHz) and at least 140 dB down from that
// Nyquist frequency on, so that nothing folds back at all. The kernel is
// tabulated at every phase the two rates meet at; where they meet at more
// than kMaxPhases (or the table would be too large), between the table's
// phases by cubic interpolation, which stays below the stop band's floor
// (the rest of a tone measures about -160 dB).
//
// What that costs: the kernel spans 226 input frames from 48 kHz to 44.1 kHz
// and 208 from 44.1 kHz to 48 kHz (206 and 190 for the 130 dB design passing
// 86 % that it replaced), one multiply-add each per output sample and
// channel. Converting stereo 24-bit files takes some 12 ms of CPU per second
// of audio either way (14 ms before, the rows now being laid out in the
// order they are read), 34 ms at 44.1 kHz to 44,101 Hz, where the taps are
// interpolated, and 49 ms from 192 kHz to 44.1 kHz, where the kernel is four
// times as long (tools/bench-quality). Downsampling by a large factor widens
// the kernel in proportion.
//
// As in the program's converter, the first output frame is centred on the
// first input frame.
#pragma once

#include <vector>

#include "signal/pure_source.h"

namespace zelvaro {

class PureRateConverter final : public PureSource {
public:
    // The response's aim, shared by the design and its tests: the pass band
    // as a fraction of the lower rate's Nyquist frequency, the greatest
    // deviation in it, and the rejection from that Nyquist frequency on.
    static constexpr double kPassFraction = 0.9075;
    static constexpr double kPassRippleDb = 0.01;
    static constexpr double kStopBandDb = 140.0;
    // Table rows per input frame at most, and the table's size at most.
    static constexpr int kMaxPhases = 1024;
    static constexpr int64_t kMaxTablePoints = int64_t{1} << 22;
    // The kernel's reach on either side, in input frames, at most: the aim
    // holds down to 1/157 of the input rate (192 kHz to 1,220 Hz); below it
    // the kernel stays this long and part of what lies above the lower
    // Nyquist frequency folds back, as the output can hardly hold a tone.
    static constexpr int kMaxHalfWidth = 16384;

    PureRateConverter(PureSourcePtr upstream, int32_t targetRate);

    void read(double* out, int frames) override;

    // Input frames on either side of an output frame that the kernel spans.
    int halfWidth() const { return halfWidth_; }
    // Table rows per input frame: the phases the rates meet at, or kMaxPhases.
    int phases() const { return phases_; }

private:
    // Makes sure input frames up to `last` (absolute) are in the buffer.
    void fetchUpTo(int64_t last);
    // The kernel at table point `at` (x = at / phases_ - halfWidth_).
    double point(int64_t at) const { return kernel_[static_cast<size_t>(at + 1)]; }

    PureSourcePtr upstream_;
    int64_t inRate_, outRate_;
    int halfWidth_;
    int phases_;
    // Where the rates meet at no more than kMaxPhases: each phase's taps in
    // the order a frame reads them. Else the kernel at every table point,
    // from x = -halfWidth_ - 1 / phases_ on with one point beyond each end,
    // and the current frame's taps interpolated from it.
    std::vector<double> rows_;
    std::vector<double> kernel_;
    std::vector<double> taps_;
    std::vector<double> input_;   // input frames from bufferStart_ on
    int64_t bufferStart_;
    int64_t outputFrame_ = 0;
};

}  // namespace zelvaro
