#include "signal/gathered_oscillators.h"

#include "base/wide_loops.h"
#include "signal/wavetable.h"

#ifdef ZELVARO_WIDE_LOOPS
#include <immintrin.h>
#endif

namespace zelvaro {

#ifdef ZELVARO_WIDE_LOOPS

namespace {

// applyGain on eight samples: the same 32-bit products and arithmetic shifts.
ZELVARO_TARGET_WIDE ZELVARO_ALWAYS_INLINE __m256i applyGain8(__m256i s, __m256i gainHigh, __m256i gainLow) {
    const __m256i sh = _mm256_srai_epi32(s, 12);
    const __m256i sl = _mm256_and_si256(s, _mm256_set1_epi32(4095));
    const __m256i high = _mm256_mullo_epi32(sh, gainHigh);
    const __m256i mid1 = _mm256_srai_epi32(_mm256_mullo_epi32(sl, gainHigh), 12);
    const __m256i mid2 = _mm256_srai_epi32(_mm256_mullo_epi32(gainLow, sh), 12);
    return _mm256_add_epi32(high, _mm256_add_epi32(mid1, mid2));
}

// Up to four oscillators at once, so that each block of output is loaded and
// stored once per group rather than once per oscillator.
template <int N, bool Gained>
ZELVARO_TARGET_WIDE void addGroup(Oscillator* const* oscs, const int32_t* table, uint32_t* out, int frames,
                                  bool first) {
    // Frame i of a run reads the table at the phase after i + 1 increments.
    const __m256i lanes = _mm256_setr_epi32(1, 2, 3, 4, 5, 6, 7, 8);
    __m256i phase[N];
    __m256i step[N];
    __m256i gainHigh[N];
    __m256i gainLow[N];
    for (int k = 0; k < N; ++k) {
        const uint32_t increment = oscs[k]->increment;
        phase[k] = _mm256_add_epi32(_mm256_set1_epi32(static_cast<int32_t>(oscs[k]->phase)),
                                    _mm256_mullo_epi32(_mm256_set1_epi32(static_cast<int32_t>(increment)), lanes));
        step[k] = _mm256_set1_epi32(static_cast<int32_t>(increment * kGatherFrames));
        gainHigh[k] = _mm256_set1_epi32(oscs[k]->gain >> 12);
        gainLow[k] = _mm256_set1_epi32(oscs[k]->gain & 4095);
    }
    for (int i = 0; i < frames; i += kGatherFrames) {
        __m256i* const at = reinterpret_cast<__m256i*>(out + i);
        __m256i sum = first ? _mm256_setzero_si256() : _mm256_loadu_si256(at);
        for (int k = 0; k < N; ++k) {
            const __m256i index = _mm256_srli_epi32(phase[k], kWavetableShift);
            __m256i v = _mm256_i32gather_epi32(reinterpret_cast<const int*>(table), index, 4);
            if (Gained)
                v = applyGain8(v, gainHigh[k], gainLow[k]);
            sum = _mm256_add_epi32(sum, v);
            phase[k] = _mm256_add_epi32(phase[k], step[k]);
        }
        _mm256_storeu_si256(at, sum);
    }
    for (int k = 0; k < N; ++k)
        oscs[k]->phase += oscs[k]->increment * static_cast<uint32_t>(frames);
}

template <bool Gained>
void addGroups(Oscillator* const* oscs, int count, const int32_t* table, uint32_t* out, int frames, bool first) {
    while (count > 0) {
        const int n = count >= 4 ? 4 : count;
        switch (n) {
        case 4: addGroup<4, Gained>(oscs, table, out, frames, first); break;
        case 3: addGroup<3, Gained>(oscs, table, out, frames, first); break;
        case 2: addGroup<2, Gained>(oscs, table, out, frames, first); break;
        default: addGroup<1, Gained>(oscs, table, out, frames, first); break;
        }
        first = false;
        count -= n;
        oscs += n;
    }
}

}  // namespace

void addGatheredOscillators(Oscillator* const* oscs, int count, bool gained, const int32_t* table, uint32_t* out,
                            int frames, bool first) {
    if (gained)
        addGroups<true>(oscs, count, table, out, frames, first);
    else
        addGroups<false>(oscs, count, table, out, frames, first);
}

ZELVARO_TARGET_WIDE void interleaveGathered(const uint32_t* left, const uint32_t* right, uint32_t* out, int frames) {
    int i = 0;
    for (; i + kGatherFrames <= frames; i += kGatherFrames) {
        const __m256i l = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(left + i));
        const __m256i r = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(right + i));
        // Frames 0, 1, 4, 5 and 2, 3, 6, 7 of the eight, then put in order.
        const __m256i low = _mm256_unpacklo_epi32(l, r);
        const __m256i high = _mm256_unpackhi_epi32(l, r);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + 2 * i), _mm256_permute2x128_si256(low, high, 0x20));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + 2 * i + 8), _mm256_permute2x128_si256(low, high, 0x31));
    }
    for (; i < frames; ++i) {
        out[2 * i] = left[i];
        out[2 * i + 1] = right[i];
    }
}

#else

void addGatheredOscillators(Oscillator* const*, int, bool, const int32_t*, uint32_t*, int, bool) {}
void interleaveGathered(const uint32_t*, const uint32_t*, uint32_t*, int) {}

#endif

}  // namespace zelvaro
