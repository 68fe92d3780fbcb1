#include "audio/level_meter.h"

#include <cmath>

namespace zelvaro {

int8_t levelFromMeanSquare(uint32_t meanSquare) {
    constexpr uint32_t kReference = 8388626u;
    if (meanSquare == 0)
        return -127;
    double x = 10.0 * std::log10(static_cast<double>(meanSquare) / kReference);
    x += meanSquare >= kReference ? 0.5 : -0.5;
    double truncated = std::trunc(x);
    if (truncated > 127.0)
        truncated = 127.0;
    if (truncated < -127.0)
        truncated = -127.0;
    return static_cast<int8_t>(truncated);
}

}  // namespace zelvaro
