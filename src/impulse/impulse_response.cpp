#include "impulse/impulse_response.h"

#include <algorithm>
#include <cmath>

#include "fft/fft.h"

namespace zelvaro {

namespace {

// Where harmonic `order`'s time zero lies before the fundamental's, in frames.
double offsetFrames(const ExpSweep& sweep, int order) {
    return order <= 1 ? 0.0 : sweep.harmonicOffsetSeconds(order) * sweep.rateHz();
}

// Frames [first, last) of the deconvolution that one response keeps.
struct Span {
    int64_t first = 0;
    int64_t last = 0;
};

// Where each response is cut from a deconvolution of `fullFrames` frames:
// the fundamental's first, then the harmonics' from order 2.
struct Cuts {
    int64_t zero = 0;  // the fundamental's time zero
    std::vector<Span> spans;
    std::vector<int64_t> zeroFrames;  // each response's time zero within it
};

Cuts cutsFor(const ExpSweep& sweep, int64_t fullFrames, int highestOrder) {
    Cuts c;
    c.zero = sweep.frames() - 1;
    // Each response reaches halfway to its neighbours' time zeros.
    auto before = [&](int order) { return 0.5 * (offsetFrames(sweep, order + 1) - offsetFrames(sweep, order)); };
    const int64_t after =
        std::max<int64_t>(sweep.frames(), static_cast<int64_t>(kResponseSecondsAfterZero * sweep.rateHz()));
    const int64_t linearStart = c.zero - static_cast<int64_t>(std::floor(before(1)));
    c.spans.push_back({linearStart, std::max(linearStart, std::min(fullFrames, c.zero + after))});
    c.zeroFrames.push_back(c.zero - linearStart);
    for (int order = 2; order <= highestOrder; ++order) {
        const double centre = static_cast<double>(c.zero) - offsetFrames(sweep, order);
        const int64_t first = static_cast<int64_t>(std::floor(centre - before(order)));
        const int64_t last = static_cast<int64_t>(
            std::floor(centre + 0.5 * (offsetFrames(sweep, order) - offsetFrames(sweep, order - 1))));
        c.spans.push_back({first, std::max(first, last)});
        c.zeroFrames.push_back(std::lround(centre - static_cast<double>(first)));
    }
    return c;
}

// Collects the responses from a deconvolution handed over in pieces.
class Collector {
public:
    Collector(const ExpSweep& sweep, int64_t fullFrames, int highestOrder)
        : cuts_(cutsFor(sweep, fullFrames, highestOrder)) {
        for (const Span& s : cuts_.spans) kept_.emplace_back(static_cast<size_t>(s.last - s.first), 0.0);
    }

    // Frames [at, at + count) of the deconvolution.
    void take(int64_t at, const double* frames, size_t count) {
        for (size_t i = 0; i < count; ++i)
            if (std::fabs(frames[i]) > strongest_) {
                strongest_ = std::fabs(frames[i]);
                strongestFrame_ = at + static_cast<int64_t>(i);
            }
        for (size_t r = 0; r < kept_.size(); ++r) {
            const Span& s = cuts_.spans[r];
            const int64_t from = std::max(s.first, at), to = std::min(s.last, at + static_cast<int64_t>(count));
            for (int64_t n = from; n < to; ++n)
                kept_[r][static_cast<size_t>(n - s.first)] = frames[n - at];
        }
    }

    ImpulseResponses result() {
        ImpulseResponses out;
        out.linear = std::move(kept_[0]);
        out.zeroFrame = cuts_.zeroFrames[0];
        size_t peak = 0;
        for (size_t i = 0; i < out.linear.size(); ++i)
            if (std::fabs(out.linear[i]) > std::fabs(out.linear[peak])) peak = i;
        out.delayFrames = static_cast<int64_t>(peak) - out.zeroFrame;
        for (size_t r = 1; r < kept_.size(); ++r) {
            out.harmonics.push_back(std::move(kept_[r]));
            out.harmonicZeroFrames.push_back(cuts_.zeroFrames[r]);
        }
        out.strongestFromZeroFrames = strongestFrame_ - cuts_.zero;
        const Span& linear = cuts_.spans[0];
        out.strongestOutsideCut = strongest_ > 0.0 && (strongestFrame_ < linear.first || strongestFrame_ >= linear.last);
        return out;
    }

private:
    Cuts cuts_;
    std::vector<std::vector<double>> kept_;
    double strongest_ = 0.0;
    int64_t strongestFrame_ = 0;
};

// The transform's length for blocks against an inverse of `inverseFrames`:
// twice the inverse, so that half of each transform is new output.
size_t blockSizeFor(size_t inverseFrames) { return fastFftSize(std::max<size_t>(2 * inverseFrames, 1u << 14)); }

}  // namespace

std::vector<double> deconvolve(const std::vector<double>& recorded, const std::vector<double>& inverse) {
    return convolve(recorded, inverse);
}

ImpulseResponses cutResponses(const std::vector<double>& deconvolved, const ExpSweep& sweep, int highestOrder) {
    Collector collector(sweep, static_cast<int64_t>(deconvolved.size()), highestOrder);
    collector.take(0, deconvolved.data(), deconvolved.size());
    return collector.result();
}

SweepDeconvolver::SweepDeconvolver(const ExpSweep& sweep) : sweep_(sweep) {
    const std::vector<double> inverse = sweep.inverse();
    inverseFrames_ = inverse.size();
    blockSize_ = blockSizeFor(inverseFrames_);
    inverseSpectrum_ = realSpectrum(inverse, blockSize_);
}

ImpulseResponses SweepDeconvolver::responses(const std::vector<double>& recorded, int highestOrder) const {
    const int64_t recordedFrames = static_cast<int64_t>(recorded.size());
    const int64_t fullFrames = recorded.empty() ? 0 : recordedFrames + static_cast<int64_t>(inverseFrames_) - 1;
    Collector collector(sweep_, fullFrames, highestOrder);
    // Overlap-save: each transform takes the block's own frames and the
    // inverse's length before them; the last `step` frames of its circular
    // convolution are the linear convolution's, whole.
    const int64_t overlap = static_cast<int64_t>(inverseFrames_) - 1;
    const int64_t step = static_cast<int64_t>(blockSize_) - overlap;
    std::vector<double> segment(blockSize_);
    for (int64_t start = 0; start < fullFrames; start += step) {
        for (size_t i = 0; i < blockSize_; ++i) {
            const int64_t n = start - overlap + static_cast<int64_t>(i);
            segment[i] = n >= 0 && n < recordedFrames ? recorded[static_cast<size_t>(n)] : 0.0;
        }
        std::vector<std::complex<double>> bins = realSpectrum(segment, blockSize_);
        for (size_t k = 0; k < bins.size(); ++k) bins[k] *= inverseSpectrum_[k];
        const std::vector<double> out = inverseRealSpectrum(bins, blockSize_);
        const size_t count = static_cast<size_t>(std::min(step, fullFrames - start));
        collector.take(start, out.data() + overlap, count);
    }
    return collector.result();
}

uint64_t SweepDeconvolver::bytesNeeded(const ExpSweep& sweep, uint64_t recordingFrames, int channels,
                                       int highestOrder) {
    const uint64_t sweepFrames = static_cast<uint64_t>(sweep.frames());
    const uint64_t inverseFrames = sweepFrames + static_cast<uint64_t>(sweep.rateHz() / 20);
    const uint64_t block = blockSizeFor(static_cast<size_t>(inverseFrames));
    // Making the inverse: the sweep, and a complex transform of about twice
    // its length, forward and back, with the library's own tables.
    const uint64_t making = 8 * sweepFrames + 8 * 16 * fastFftSize(2 * inverseFrames);
    // Then: the recording as doubles, the inverse's spectrum, one block's
    // transforms, and each channel's kept responses (as doubles and once
    // more as the float file's bytes).
    const uint64_t after = std::max<uint64_t>(sweepFrames, static_cast<uint64_t>(kResponseSecondsAfterZero * sweep.rateHz()));
    const uint64_t kept = static_cast<uint64_t>(channels) * (after + inverseFrames) * static_cast<uint64_t>(highestOrder) * 12;
    const uint64_t running = 8 * recordingFrames * static_cast<uint64_t>(channels) + 8 * block + 6 * 16 * block + kept;
    return std::max(making, running);
}

}  // namespace zelvaro
