#include "signal/pure_rate_converter.h"

#include <algorithm>
#include <cmath>
#include <numeric>

#include "base/block_frames.h"
#include "base/pi.h"

namespace zelvaro {

namespace {

// Kaiser's estimate of the length is a little short at this depth: the
// design aims 5 dB below the promise.
constexpr double kDesignStopBandDb = PureRateConverter::kStopBandDb + 5.0;

// The modified Bessel function of the first kind, order 0, by its series.
double besselI0(double x) {
    double sum = 1.0, term = 1.0;
    const double q = x * x / 4.0;
    for (int k = 1; k < 500 && term > sum * 1e-18; ++k) {
        term *= q / (static_cast<double>(k) * k);
        sum += term;
    }
    return sum;
}

}  // namespace

PureRateConverter::PureRateConverter(PureSourcePtr upstream, int32_t targetRate)
    : PureSource(targetRate, upstream->channels,
                 upstream->lengthFrames * targetRate / upstream->sampleRate),
      upstream_(std::move(upstream)),
      inRate_(upstream_->sampleRate),
      outRate_(targetRate) {
    // Band edges in cycles per input frame: the pass band's end and the lower
    // Nyquist frequency, where the stop band begins.
    const double nyquist = 0.5 * static_cast<double>(std::min(inRate_, outRate_)) / inRate_;
    const double passEdge = nyquist * kPassFraction;
    const double cutoff = (passEdge + nyquist) / 2;
    const double transition = nyquist - passEdge;
    const double taps = (kDesignStopBandDb - 8.0) / (2.285 * 2.0 * kPi * transition);
    const bool held = std::ceil(taps / 2.0) > kMaxHalfWidth;
    halfWidth_ = held ? kMaxHalfWidth : static_cast<int>(std::ceil(taps / 2.0));
    const double beta = 0.1102 * (kDesignStopBandDb - 8.7);
    const int width = 2 * halfWidth_;
    const int64_t meet = outRate_ / std::gcd(inRate_, outRate_);
    // A long kernel is smooth between input frames in proportion: it needs
    // fewer phases for the same interpolation error.
    const int64_t exactPoints = static_cast<int64_t>(width) * meet;
    const bool exact = meet <= kMaxPhases && exactPoints <= kMaxTablePoints;
    phases_ = exact ? static_cast<int>(meet)
                    : static_cast<int>(std::clamp<int64_t>(kMaxTablePoints / width, 1, kMaxPhases));

    double scale = 1.0 / besselI0(beta);
    // The kernel at table point i, x = i / phases_ - halfWidth_.
    const auto at = [&](int64_t i) {
        const double x = static_cast<double>(i) / phases_ - halfWidth_;
        const double r = x / halfWidth_;
        if (std::fabs(r) >= 1.0) return 0.0;
        const double arg = 2.0 * kPi * cutoff * x;
        const double sinc = x == 0.0 ? 1.0 : std::sin(arg) / arg;
        return 2.0 * cutoff * sinc * besselI0(beta * std::sqrt(1.0 - r * r)) * scale;
    };
    // A kernel held shorter than the sinc's main lobe would pass only part
    // of a constant level: its taps are scaled to add up to 1.
    if (held) {
        double sum = 0;
        for (int t = 0; t < 2 * halfWidth_; ++t) sum += at(static_cast<int64_t>(t) * phases_);
        scale /= sum;
    }
    if (exact) {
        // Every phase is a row: laid out tap by tap, a frame reads its row in order.
        rows_.resize(static_cast<size_t>(phases_) * width);
        for (int row = 0; row < phases_; ++row)
            for (int t = 0; t < width; ++t)
                rows_[static_cast<size_t>(row) * width + t] = at(static_cast<int64_t>(width - 1 - t) * phases_ + row);
    } else {
        // Points from -1 to width * phases_ + 2: the interpolation reads one
        // before and two after the point it starts from.
        const int64_t last = static_cast<int64_t>(width) * phases_ + 2;
        kernel_.resize(static_cast<size_t>(last + 2));
        for (int64_t i = -1; i <= last; ++i) kernel_[static_cast<size_t>(i + 1)] = at(i);
        taps_.resize(static_cast<size_t>(width));
    }
    // Input before the first frame is silence.
    bufferStart_ = -halfWidth_;
    input_.assign(static_cast<size_t>(halfWidth_) * channels, 0.0);
}

void PureRateConverter::fetchUpTo(int64_t last) {
    const int64_t have = bufferStart_ + static_cast<int64_t>(input_.size() / channels);
    if (last < have) return;
    const int64_t need = std::max<int64_t>(last + 1 - have, kMaxBlockFrames);
    const size_t old = input_.size();
    input_.resize(old + static_cast<size_t>(need) * channels);
    upstream_->read(input_.data() + old, static_cast<int>(need));
}

void PureRateConverter::read(double* out, int frames) {
    const int width = 2 * halfWidth_;
    for (int f = 0; f < frames; ++f, ++outputFrame_) {
        // The output frame's place in input frames: whole part and fraction.
        const int64_t numerator = outputFrame_ * inRate_;
        const int64_t whole = numerator / outRate_;
        const int64_t first = whole - halfWidth_ + 1;
        fetchUpTo(whole + halfWidth_);
        // Drop what no later frame needs, now and then.
        if (first - bufferStart_ > 4 * kMaxBlockFrames) {
            const int64_t drop = first - bufferStart_;
            input_.erase(input_.begin(), input_.begin() + static_cast<ptrdiff_t>(drop * channels));
            bufferStart_ = first;
        }
        // Tap t (input frame first + t) sits at x = (halfWidth_ - 1 - t) + fraction,
        // table point (width - 1 - t) * phases_ + row. Where the rates meet at
        // no more phases than the table has, the row is exact (u is 0).
        const int64_t rowNumerator = (numerator % outRate_) * phases_;
        const int64_t row = rowNumerator / outRate_;
        const double u = static_cast<double>(rowNumerator % outRate_) / outRate_;
        const double* taps = nullptr;
        if (rows_.empty()) {
            // Lagrange through the points before, at and two after.
            const double before = -u * (u - 1) * (u - 2) / 6;
            const double at0 = (u + 1) * (u - 1) * (u - 2) / 2;
            const double at1 = -(u + 1) * u * (u - 2) / 2;
            const double at2 = (u + 1) * u * (u - 1) / 6;
            for (int t = 0; t < width; ++t) {
                const int64_t at = static_cast<int64_t>(width - 1 - t) * phases_ + row;
                taps_[t] = before * point(at - 1) + at0 * point(at) + at1 * point(at + 1) + at2 * point(at + 2);
            }
            taps = taps_.data();
        } else {
            taps = rows_.data() + static_cast<size_t>(row) * width;
        }
        const double* frame = input_.data() + (first - bufferStart_) * channels;
        for (int c = 0; c < channels; ++c) {
            double sum = 0;
            const double* x = frame + c;
            for (int t = 0; t < width; ++t) sum += taps[t] * x[static_cast<size_t>(t) * channels];
            out[static_cast<size_t>(f) * channels + c] = sum;
        }
    }
}

}  // namespace zelvaro
