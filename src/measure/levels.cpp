#include "measure/levels.h"

#include <cmath>

namespace zelvaro::measure {

double toDecibels(double amplitudeRatio) { return amplitudeRatio > 0 ? 20.0 * std::log10(amplitudeRatio) : -999.0; }

double ChannelLevels::peakDbfs() const { return toDecibels(peak); }
double ChannelLevels::rmsDbfs() const { return toDecibels(rms); }

ChannelLevels measureLevels(const double* samples, size_t count) {
    ChannelLevels levels;
    if (count == 0) return levels;
    long double sum = 0, squares = 0;
    for (size_t i = 0; i < count; ++i) {
        const double v = samples[i];
        levels.peak = std::fmax(levels.peak, std::fabs(v));
        sum += v;
        squares += static_cast<long double>(v) * v;
    }
    levels.dc = static_cast<double>(sum / count);
    levels.rms = static_cast<double>(std::sqrt(squares / count));
    return levels;
}

}  // namespace zelvaro::measure
