#include "base/wide_loops.h"

#include <atomic>

namespace zelvaro {

namespace {

std::atomic<bool> allowedFlag{true};

bool processorHasWideLoops() {
#ifdef ZELVARO_WIDE_LOOPS
    // Checks the system's saving of the vector registers as well as the
    // processor's support.
    return __builtin_cpu_supports("avx2");
#else
    return false;
#endif
}

}  // namespace

bool useWideLoops() {
    static const bool available = processorHasWideLoops();
    return available && allowedFlag.load(std::memory_order_relaxed);
}

void allowWideLoops(bool allowed) {
    allowedFlag.store(allowed, std::memory_order_relaxed);
}

}  // namespace zelvaro
