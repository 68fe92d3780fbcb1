#include "wavefile/sample_conversion.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "base/wide_loops.h"

namespace zelvaro {
namespace {

struct OutRow {
    int32_t in;
    uint32_t out;  // the width's bit pattern
};

TEST(SampleConversion, Int32To8RoundsHalvesUpAndWraps) {
    const OutRow rows[] = {
        {0, 128},          {2048, 129},        {1023, 128},  {1024, 129},     {-1024, 128},
        {-1025, 127},      {260096, 255},      {-262144, 0}, {262144, 0},  // one step past the top wraps to 0
        {-264192, 255},  // one step below the bottom wraps to 255
        {std::numeric_limits<int32_t>::max(), 128},
    };
    for (const OutRow& r : rows) {
        SCOPED_TRACE(r.in);
        uint8_t out = 0x55;
        convertInt32To8(&out, &r.in, 1);
        EXPECT_EQ(out, r.out);
    }
}

TEST(SampleConversion, Int32To16RoundsHalvesUpAndWraps) {
    const OutRow rows[] = {
        {7, 0},
        {8, 1},
        {-8, 0},
        {-9, 0xFFFF},
        {524272, 0x7FFF},
        {-524288, 0x8000},
        {524280, 0x8000},  // rounds past the top: keeps the low 16 bits
        {16000, 1000},
        {std::numeric_limits<int32_t>::max(), 0x0000},  // v + 8 wraps to the bottom of the int range
        {std::numeric_limits<int32_t>::min(), 0x0000},
    };
    for (const OutRow& r : rows) {
        SCOPED_TRACE(r.in);
        uint8_t out[2] = {0x55, 0x55};
        convertInt32To16(out, &r.in, 1);
        EXPECT_EQ(out[0] | (out[1] << 8), static_cast<int>(r.out));
    }
    // Whole blocks take the processor's wide loop where it has one: the rows
    // again, many at a time and at every offset within a vector.
    std::vector<int32_t> in;
    for (int repeat = 0; repeat < 7; ++repeat)
        for (const OutRow& r : rows) in.push_back(r.in);
    for (bool wide : {false, true}) {
        SCOPED_TRACE(wide ? "wide loop" : "baseline loop");
        allowWideLoops(wide);
        std::vector<uint8_t> out(2 * in.size(), 0x55);
        convertInt32To16(out.data(), in.data(), in.size());
        for (size_t i = 0; i < in.size(); ++i)
            ASSERT_EQ(out[2 * i] | (out[2 * i + 1] << 8), static_cast<int>(rows[i % std::size(rows)].out)) << i;
    }
    allowWideLoops(true);
}

TEST(SampleConversion, Int32To32ShiftsLeftKeepingLowBits) {
    const OutRow rows[] = {
        {1, 0x1000},
        {-1, 0xFFFFF000},
        {524272, 0x7FFF0000},
        {-524288, 0x80000000},
        {524288, 0x80000000},  // 2^31 does not fit: low 32 bits
        {0x12345678, 0x45678000},
    };
    for (const OutRow& r : rows) {
        SCOPED_TRACE(r.in);
        uint8_t out[4] = {};
        convertInt32To32(out, &r.in, 1);
        uint32_t v = out[0] | (out[1] << 8) | (out[2] << 16) | (static_cast<uint32_t>(out[3]) << 24);
        EXPECT_EQ(v, r.out);
    }
}

TEST(SampleConversion, PcmToInt32) {
    const uint8_t bytes8[] = {0, 127, 128, 129, 255};
    const int32_t want8[] = {-262144, -2048, 0, 2048, 260096};
    int32_t got[8] = {};
    convert8ToInt32(got, bytes8, 5);
    for (int i = 0; i < 5; ++i) EXPECT_EQ(got[i], want8[i]) << "8-bit byte " << int(bytes8[i]);

    const uint8_t bytes16[] = {0xE8, 0x03, 0xFF, 0xFF, 0xFF, 0x7F, 0x00, 0x80};  // 1000, -1, 32767, -32768
    const int32_t want16[] = {16000, -16, 524272, -524288};
    convert16ToInt32(got, bytes16, 4);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(got[i], want16[i]) << "16-bit sample " << i;

    const uint8_t bytes32[] = {
        0xFF, 0x07, 0x00, 0x00,  // 2047: rounds to 0
        0x00, 0x08, 0x00, 0x00,  // 2048: half rounds up to 1
        0x00, 0xF8, 0xFF, 0xFF,  // -2048: half rounds up to 0
        0x01, 0xF8, 0xFF, 0xFF,  // -2047 -> 0
        0xFF, 0xF7, 0xFF, 0xFF,  // -2049 -> -1
        0xFF, 0xFF, 0xFF, 0x7F,  // the top: held at the 16-bit peak, stays positive
        0x00, 0x00, 0x00, 0x80,  // the bottom
    };
    const int32_t want32[] = {0, 1, 0, 0, -1, 524272, -524288};
    convert32ToInt32(got, bytes32, 7);
    for (int i = 0; i < 7; ++i) EXPECT_EQ(got[i], want32[i]) << "32-bit sample " << i;
}

// A 24-bit sample is the 32-bit sample with a zero low byte: every value of
// the width must convert as that 32-bit sample does.
TEST(SampleConversion, Every24BitValueConvertsAsItsThirtyTwoBitForm) {
    constexpr size_t kChunk = 65536;
    std::vector<uint8_t> in24(3 * kChunk), in32(4 * kChunk);
    std::vector<int32_t> got(kChunk), want(kChunk);
    for (uint32_t base = 0; base < (1u << 24); base += kChunk) {
        for (size_t i = 0; i < kChunk; ++i) {
            const uint32_t v = base + static_cast<uint32_t>(i);
            for (int k = 0; k < 3; ++k) in24[3 * i + k] = static_cast<uint8_t>(v >> (8 * k));
            for (int k = 0; k < 4; ++k) in32[4 * i + k] = static_cast<uint8_t>((v << 8) >> (8 * k));
        }
        convert24ToInt32(got.data(), in24.data(), kChunk);
        convert32ToInt32(want.data(), in32.data(), kChunk);
        ASSERT_EQ(got, want) << "in the values from " << base;
    }
}

// The rounding of 32-bit input would reach 524273..524288 near the top, which
// a 16-bit output wraps to -32768; the reader holds them at the peak instead.
TEST(SampleConversion, Top32BitValuesSaturateAtThePeakAndWriteAs16BitFullScale) {
    struct Row {
        uint32_t in;
        int32_t mid;
        int16_t out16;
    };
    const Row rows[] = {
        {0x7FFFFFFF, 524272, 32767},   // full scale
        {0x7FFFF800, 524272, 32767},   // the lowest value that rounds to 2^19
        {0x7FFFF7FF, 524272, 32767},   // rounds to 524287, still above the peak
        {0x7FFF0000, 524272, 32767},   // exactly the peak
        {0x7FFEF7FF, 524271, 32767},   // just below it: unchanged
        {0x80000000, -524288, -32768}, // the bottom is in range already
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.in);
        const uint8_t bytes[] = {static_cast<uint8_t>(r.in), static_cast<uint8_t>(r.in >> 8),
                                 static_cast<uint8_t>(r.in >> 16), static_cast<uint8_t>(r.in >> 24)};
        int32_t mid = 0;
        convert32ToInt32(&mid, bytes, 1);
        EXPECT_EQ(mid, r.mid);
        uint8_t out[2] = {};
        convertInt32To16(out, &mid, 1);
        EXPECT_EQ(static_cast<int16_t>(static_cast<uint16_t>(out[0] | (out[1] << 8))), r.out16);
    }
}

// Every value of each width survives int32 and back unchanged.
TEST(SampleConversion, EveryPcmValueRoundTrips) {
    std::vector<uint8_t> in8(256), out8(256);
    std::vector<int32_t> mid(65536);
    for (int i = 0; i < 256; ++i) in8[i] = static_cast<uint8_t>(i);
    convert8ToInt32(mid.data(), in8.data(), 256);
    convertInt32To8(out8.data(), mid.data(), 256);
    EXPECT_EQ(in8, out8);

    std::vector<uint8_t> in16(131072), out16(131072);
    for (int i = 0; i < 65536; ++i) {
        in16[2 * i] = static_cast<uint8_t>(i);
        in16[2 * i + 1] = static_cast<uint8_t>(i >> 8);
    }
    convert16ToInt32(mid.data(), in16.data(), 65536);
    convertInt32To16(out16.data(), mid.data(), 65536);
    EXPECT_EQ(in16, out16);

    // 32-bit files keep 20 significant bits: multiples of 4096 come back exact.
    std::vector<uint8_t> in32, out32(4 * 1024);
    for (int i = -512; i < 512; ++i) {
        uint32_t v = static_cast<uint32_t>(i * 1024) << 12;
        for (int k = 0; k < 4; ++k) in32.push_back(static_cast<uint8_t>(v >> (8 * k)));
    }
    convert32ToInt32(mid.data(), in32.data(), 1024);
    convertInt32To32(out32.data(), mid.data(), 1024);
    EXPECT_EQ(in32, out32);
}

}  // namespace
}  // namespace zelvaro
