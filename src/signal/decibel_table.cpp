#include "signal/decibel_table.h"

#include <cmath>

namespace zelvaro {

namespace {

int32_t roundedGain(double factor) {
    const double product = factor * 16777216.0;
    if (product >= 2147483647.0)
        return 2147483647;
    return static_cast<int32_t>(product + 0.5);
}

}  // namespace

DecibelTable::DecibelTable() {
    for (int d = -128; d <= 127; ++d) {
        const bool silent = d <= -127;
        amplitude_[d + 128] = silent ? 0 : roundedGain(std::pow(10.0, d / 20.0));
        power_[d + 128] = silent ? 0 : roundedGain(std::pow(10.0, d / 10.0));
    }
}

const DecibelTable& DecibelTable::shared() {
    static const DecibelTable table;
    return table;
}

int32_t DecibelTable::amplitudeGain(int8_t decibels) {
    return shared().amplitude_[decibels + 128];
}

int32_t DecibelTable::powerGain(int8_t decibels) {
    return shared().power_[decibels + 128];
}

}  // namespace zelvaro
