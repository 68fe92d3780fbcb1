// Counters kept as int32 like the rest of the chain: they wrap rather than
// overflow when a failed sink or source is fed without end.
#pragma once

#include <cstdint>

namespace zelvaro {

inline int32_t addWrapping(int32_t a, int32_t b) {
    const uint32_t sum = static_cast<uint32_t>(a) + static_cast<uint32_t>(b);
    return sum <= 0x7FFFFFFFu ? static_cast<int32_t>(sum) : -static_cast<int32_t>(~sum) - 1;
}

}  // namespace zelvaro
