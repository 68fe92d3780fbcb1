// The few sample loops that run for every frame of a render are compiled
// twice: for the baseline processor, and for processors with 256-bit integer
// vectors (AVX2), where the compiler can vectorise their 32-bit multiplies and
// comparisons. Both give the same samples; each call picks the wide one when
// the processor has it.
#pragma once

#if (defined(__GNUC__) || defined(__clang__)) && (defined(__x86_64__) || defined(__i386__))
#define ZELVARO_WIDE_LOOPS 1
#define ZELVARO_TARGET_WIDE __attribute__((target("avx2")))
#define ZELVARO_ALWAYS_INLINE inline __attribute__((always_inline))
#else
#define ZELVARO_TARGET_WIDE
#define ZELVARO_ALWAYS_INLINE inline
#endif

namespace zelvaro {

// Whether the processor and the system support the wide loops, and they are
// allowed.
bool useWideLoops();

// Tests compare the two versions of each loop by turning the wide ones off.
void allowWideLoops(bool allowed);

}  // namespace zelvaro
