#include "signal/oscillator.h"

#include <cmath>

namespace zelvaro {

uint32_t wrapToUint32(double value) {
    // The common case: the value converts to int64 directly.
    if (value > -9.2e18 && value < 9.2e18)
        return static_cast<uint32_t>(static_cast<uint64_t>(static_cast<int64_t>(value)));
    if (!std::isfinite(value))
        return 0;
    // Beyond int64 a double is an integer; fmod by 2^32 is exact and gives the
    // low 32 bits the plain conversion would have kept.
    double r = std::fmod(value, 4294967296.0);
    if (r < 0)
        r += 4294967296.0;
    return static_cast<uint32_t>(r);
}

}  // namespace zelvaro
