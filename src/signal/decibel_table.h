// Whole-decibel gains in units of 2^-24 (16,777,216 = 0 dB), shared by the
// whole program; -128 and -127 dB are silence.
#pragma once

#include <cstdint>

namespace zelvaro {

constexpr int32_t kUnityGain = 16777216;

class DecibelTable {
public:
    // 10^(d/20) x 2^24, rounded, at most 2,147,483,647.
    static int32_t amplitudeGain(int8_t decibels);
    // 10^(d/10) x 2^24, rounded, at most 2,147,483,647.
    static int32_t powerGain(int8_t decibels);

private:
    DecibelTable();
    static const DecibelTable& shared();

    int32_t amplitude_[256];
    int32_t power_[256];
};

}  // namespace zelvaro
