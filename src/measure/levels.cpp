#include "measure/levels.h"

#include <cmath>

#include "base/decibel_floor.h"

namespace zelvaro::measure {

double toDecibels(double amplitudeRatio) { return amplitudeRatio > 0 ? 20.0 * std::log10(amplitudeRatio) : kNoLevelDb; }

double ChannelLevels::peakDbfs() const { return toDecibels(peak); }
double ChannelLevels::rmsDbfs() const { return toDecibels(rms); }

ChannelLevels measureLevels(const double* samples, size_t count) {
    LevelAccumulator accumulator;
    for (size_t i = 0; i < count; ++i) accumulator.add(samples[i]);
    return accumulator.levels();
}

void LevelAccumulator::add(double v) {
    peak_ = std::fmax(peak_, std::fabs(v));
    sum_ += v;
    squares_ += static_cast<long double>(v) * v;
    ++count_;
}

ChannelLevels LevelAccumulator::levels() const {
    ChannelLevels levels;
    if (count_ == 0) return levels;
    levels.peak = peak_;
    levels.dc = static_cast<double>(sum_ / count_);
    levels.rms = static_cast<double>(std::sqrt(squares_ / count_));
    return levels;
}

}  // namespace zelvaro::measure
