#include "wavefile/sample_conversion.h"

#include <cmath>
#include <cstring>

#include "base/full_scale.h"
#include "base/wide_loops.h"

namespace zelvaro {

namespace {

// The largest magnitude a 32-bit source declares (32767 * 16).
constexpr int64_t kPeak32In = 524272;

// Two's-complement reinterpretation without relying on signed overflow.
ZELVARO_ALWAYS_INLINE int32_t asSigned(uint32_t v) {
    return v <= 0x7FFFFFFFu ? static_cast<int32_t>(v) : -static_cast<int32_t>(~v) - 1;
}

// Arithmetic shift right (toward minus infinity) of v + bias, both wrapped to
// 32 bits as the file format's arithmetic is.
ZELVARO_ALWAYS_INLINE uint32_t roundShift(int32_t v, uint32_t bias, int shift) {
    int32_t t = asSigned(static_cast<uint32_t>(v) + bias);
    return static_cast<uint32_t>(t >> shift);
}

}  // namespace

namespace {

int32_t floatToInt32(double x) {
    if (std::isnan(x)) return 0;
    const double v = std::nearbyint(x * kChainFullScale);
    if (v >= static_cast<double>(kPeak32In)) return static_cast<int32_t>(kPeak32In);
    if (v <= -static_cast<double>(kPeak32In)) return -static_cast<int32_t>(kPeak32In);
    return static_cast<int32_t>(v);
}

uint64_t getLittle(const uint8_t* p, int bytes) {
    uint64_t v = 0;
    for (int b = bytes - 1; b >= 0; --b) v = (v << 8) | p[b];
    return v;
}

}  // namespace

void convertFloat32ToInt32(int32_t* dst, const uint8_t* src, size_t count) {
    for (size_t i = 0; i < count; ++i) {
        const uint32_t bits = static_cast<uint32_t>(getLittle(src + 4 * i, 4));
        float x;
        std::memcpy(&x, &bits, sizeof x);
        dst[i] = floatToInt32(x);
    }
}

void convertFloat64ToInt32(int32_t* dst, const uint8_t* src, size_t count) {
    for (size_t i = 0; i < count; ++i) {
        const uint64_t bits = getLittle(src + 8 * i, 8);
        double x;
        std::memcpy(&x, &bits, sizeof x);
        dst[i] = floatToInt32(x);
    }
}

void clearLowBits(uint8_t* samples, size_t count, int sampleBytes, int ignoredBits) {
    if (ignoredBits <= 0) return;
    for (size_t i = 0; i < count; ++i) {
        uint8_t* p = samples + i * static_cast<size_t>(sampleBytes);
        int bits = ignoredBits;
        for (int b = 0; b < sampleBytes && bits > 0; ++b, bits -= 8)
            p[b] = bits >= 8 ? 0 : static_cast<uint8_t>(p[b] & (0xFF << bits));
    }
}

void convert8ToInt32(int32_t* dst, const uint8_t* src, size_t count) {
    for (size_t i = 0; i < count; ++i) dst[i] = (static_cast<int32_t>(src[i]) - 128) * 2048;
}

void convert16ToInt32(int32_t* dst, const uint8_t* src, size_t count) {
    for (size_t i = 0; i < count; ++i) {
        const uint8_t* p = src + 2 * i;
        auto s = static_cast<int16_t>(static_cast<uint16_t>(p[0] | (p[1] << 8)));
        dst[i] = s * 16;
    }
}

void convert24ToInt32(int32_t* dst, const uint8_t* src, size_t count) {
    for (size_t i = 0; i < count; ++i) {
        const uint8_t* p = src + 3 * i;
        // The sign sits in bit 23: shifted to the top of 32 bits, it is the
        // 32-bit sample whose low byte is zero.
        const uint32_t u = (p[0] << 8) | (p[1] << 16) | (static_cast<uint32_t>(p[2]) << 24);
        const int64_t v = (static_cast<int64_t>(asSigned(u)) + 2048) >> 12;
        dst[i] = static_cast<int32_t>(v > kPeak32In ? kPeak32In : v);
    }
}

void convert32ToInt32(int32_t* dst, const uint8_t* src, size_t count) {
    for (size_t i = 0; i < count; ++i) {
        const uint8_t* p = src + 4 * i;
        uint32_t u = p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
        // The rounding carries the top 2048 values to 2^19, and the values just
        // below it pass the declared peak too: both would wrap to the most
        // negative sample once written at 16 bits, so they are held at the peak.
        const int64_t v = (static_cast<int64_t>(asSigned(u)) + 2048) >> 12;
        dst[i] = static_cast<int32_t>(v > kPeak32In ? kPeak32In : v);
    }
}

void convertInt32To8(uint8_t* dst, const int32_t* src, size_t count) {
    for (size_t i = 0; i < count; ++i) dst[i] = static_cast<uint8_t>(roundShift(src[i], 1024, 11) + 128u);
}

namespace {

ZELVARO_ALWAYS_INLINE void int32To16Loop(uint8_t* __restrict dst, const int32_t* __restrict src, size_t count) {
    for (size_t i = 0; i < count; ++i) {
        uint32_t v = roundShift(src[i], 8, 4);
        dst[2 * i] = static_cast<uint8_t>(v);
        dst[2 * i + 1] = static_cast<uint8_t>(v >> 8);
    }
}

void int32To16Baseline(uint8_t* dst, const int32_t* src, size_t count) {
    int32To16Loop(dst, src, count);
}

// Every 16-bit file a render writes passes through here.
ZELVARO_TARGET_WIDE void int32To16Wide(uint8_t* dst, const int32_t* src, size_t count) {
    int32To16Loop(dst, src, count);
}

}  // namespace

void convertInt32To16(uint8_t* dst, const int32_t* src, size_t count) {
    if (useWideLoops())
        int32To16Wide(dst, src, count);
    else
        int32To16Baseline(dst, src, count);
}

void convertInt32To32(uint8_t* dst, const int32_t* src, size_t count) {
    for (size_t i = 0; i < count; ++i) {
        uint32_t v = static_cast<uint32_t>(src[i]) << 12;
        dst[4 * i] = static_cast<uint8_t>(v);
        dst[4 * i + 1] = static_cast<uint8_t>(v >> 8);
        dst[4 * i + 2] = static_cast<uint8_t>(v >> 16);
        dst[4 * i + 3] = static_cast<uint8_t>(v >> 24);
    }
}

size_t decodePureSamples(double* out, const uint8_t* src, size_t count, int sampleBytes, bool isFloat) {
    size_t nonFinite = 0;
    const uint8_t* p = src;
    if (isFloat) {
        for (size_t i = 0; i < count; ++i, p += sampleBytes) {
            double value;
            if (sampleBytes == 4) {
                float f;
                std::memcpy(&f, p, 4);
                value = f;
            } else {
                std::memcpy(&value, p, 8);
            }
            // A measurement must not be poisoned by one bad sample; the
            // count lets the caller say that there were some.
            if (std::isfinite(value)) {
                out[i] = value;
            } else {
                out[i] = 0.0;
                ++nonFinite;
            }
        }
    } else if (sampleBytes == 1) {
        for (size_t i = 0; i < count; ++i) out[i] = (p[i] - 128) / 128.0;
    } else {
        const int shift = 64 - 8 * sampleBytes;
        const int exponent = 1 - 8 * sampleBytes;
        for (size_t i = 0; i < count; ++i, p += sampleBytes) {
            uint64_t v = 0;
            for (int b = 0; b < sampleBytes; ++b) v |= static_cast<uint64_t>(p[b]) << (8 * b);
            out[i] = std::ldexp(static_cast<double>(static_cast<int64_t>(v << shift) >> shift), exponent);
        }
    }
    return nonFinite;
}

}  // namespace zelvaro
