// Play positions for listeners: signed 32-bit counts of 100-microsecond units.
#pragma once

#include <cstdint>

namespace zelvaro {

// (frames / rate) * 10000 + ((frames mod rate) * 10000) / rate, truncating;
// 0 when rate is 0 or less. Wraps to 32 bits for times past the int range.
int32_t framesToTime(int32_t frames, int32_t rate);

// The inverse: (time / 10000) * rate + ((time mod 10000) * rate) / 10000.
int32_t timeToFrames(int32_t time, int32_t rate);

}  // namespace zelvaro
