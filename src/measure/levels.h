// Sample levels of one channel. Convention: full scale is an amplitude of
// 1.0, and RMS levels are 20 log10(rms) against it, so a full-scale sine is
// -3.01 dBFS RMS and 0 dBFS peak.
#pragma once

#include <cstddef>
#include <cstdint>

namespace zelvaro::measure {

struct ChannelLevels {
    double peak = 0;  // largest magnitude
    double rms = 0;
    double dc = 0;  // mean
    double peakDbfs() const;
    double rmsDbfs() const;
};

ChannelLevels measureLevels(const double* samples, size_t count);

// The same figures over a stream of any length, a sample at a time.
class LevelAccumulator {
public:
    void add(double sample);
    ChannelLevels levels() const;

private:
    double peak_ = 0;
    long double sum_ = 0, squares_ = 0;
    uint64_t count_ = 0;
};

// 20 log10(ratio), or kNoLevelDb (base/decibel_floor.h) for 0.
double toDecibels(double amplitudeRatio);

}  // namespace zelvaro::measure
