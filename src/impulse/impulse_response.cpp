#include "impulse/impulse_response.h"

#include <algorithm>
#include <cmath>

#include "impulse/fft.h"

namespace zelvaro {

namespace {

// Where harmonic `order`'s time zero lies before the fundamental's, in frames.
double offsetFrames(const ExpSweep& sweep, int order) {
    return order <= 1 ? 0.0 : sweep.harmonicOffsetSeconds(order) * sweep.rateHz();
}

// Frames [first, last) of `signal`, zeros where it has none.
std::vector<double> cut(const std::vector<double>& signal, long long first, long long last) {
    std::vector<double> out(static_cast<size_t>(std::max(0LL, last - first)));
    for (long long i = first; i < last; ++i)
        if (i >= 0 && i < static_cast<long long>(signal.size()))
            out[static_cast<size_t>(i - first)] = signal[static_cast<size_t>(i)];
    return out;
}

}  // namespace

std::vector<double> deconvolve(const std::vector<double>& recorded, const std::vector<double>& inverse) {
    return convolve(recorded, inverse);
}

ImpulseResponses cutResponses(const std::vector<double>& deconvolved, const ExpSweep& sweep, int highestOrder) {
    ImpulseResponses out;
    const long long zero = sweep.frames() - 1;
    // Each response reaches halfway to its neighbours' time zeros.
    auto before = [&](int order) { return 0.5 * (offsetFrames(sweep, order + 1) - offsetFrames(sweep, order)); };
    const long long linearStart = zero - static_cast<long long>(std::floor(before(1)));
    out.linear = cut(deconvolved, linearStart, static_cast<long long>(deconvolved.size()));
    out.zeroFrame = static_cast<int>(zero - linearStart);
    size_t peak = 0;
    for (size_t i = 0; i < out.linear.size(); ++i)
        if (std::fabs(out.linear[i]) > std::fabs(out.linear[peak]))
            peak = i;
    out.delayFrames = static_cast<int>(peak) - out.zeroFrame;
    for (int order = 2; order <= highestOrder; ++order) {
        const double centre = static_cast<double>(zero) - offsetFrames(sweep, order);
        const long long first = static_cast<long long>(std::floor(centre - before(order)));
        const long long last = static_cast<long long>(std::floor(centre + 0.5 * (offsetFrames(sweep, order) -
                                                                                  offsetFrames(sweep, order - 1))));
        out.harmonics.push_back(cut(deconvolved, first, last));
        out.harmonicZeroFrames.push_back(static_cast<int>(std::lround(centre - static_cast<double>(first))));
    }
    return out;
}

}  // namespace zelvaro
