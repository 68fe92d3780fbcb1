// Conversions between the chain's int32 samples (a 16-bit value times 16) and
// the PCM widths of WAV files. None of them clips: an output outside its
// width keeps its low bits; the sinks' peak levels keep rendered signals
// inside the range. Output rounds to the nearest step, halves up.
#pragma once

#include <cstddef>
#include <cstdint>

namespace zelvaro {

// Unsigned 8-bit: (byte - 128) * 2048.
void convert8ToInt32(int32_t* dst, const uint8_t* src, size_t count);
// Little-endian signed 16-bit: sample * 16.
void convert16ToInt32(int32_t* dst, const uint8_t* src, size_t count);
// Little-endian signed 24-bit: (sample + 8) >> 4, at most 524272, which is
// what the same value padded to 32 bits gives.
void convert24ToInt32(int32_t* dst, const uint8_t* src, size_t count);
// Little-endian signed 32-bit: (sample + 2048) >> 12, at most 524272 (the
// 16-bit full scale times 16), so a full-scale file stays full scale when
// written at 16 bits instead of wrapping to the bottom.
void convert32ToInt32(int32_t* dst, const uint8_t* src, size_t count);

// Little-endian IEEE floats, 32- or 64-bit: +-1.0 is the 16-bit full scale
// (+-524,288), rounded to the nearest step and held within +-524,272, the
// readers' declared peak; NaN reads as silence.
void convertFloat32ToInt32(int32_t* dst, const uint8_t* src, size_t count);
void convertFloat64ToInt32(int32_t* dst, const uint8_t* src, size_t count);

// Clears the low `ignoredBits` bits of each of `count` little-endian samples
// of `sampleBytes` bytes (the bits below a record's valid bits).
void clearLowBits(uint8_t* samples, size_t count, int sampleBytes, int ignoredBits);

// Little-endian samples as doubles at full scale 1.0, without rounding:
// unsigned 8-bit, signed 16- to 32-bit PCM, or 32- and 64-bit IEEE float
// (`isFloat`), whose samples that are not finite read as 0. Returns how many
// were not finite.
size_t decodePureSamples(double* out, const uint8_t* src, size_t count, int sampleBytes, bool isFloat);

// ((v + 1024) >> 11) + 128, low 8 bits.
void convertInt32To8(uint8_t* dst, const int32_t* src, size_t count);
// (v + 8) >> 4, low 16 bits, little-endian.
void convertInt32To16(uint8_t* dst, const int32_t* src, size_t count);
// v << 12, low 32 bits, little-endian.
void convertInt32To32(uint8_t* dst, const int32_t* src, size_t count);

}  // namespace zelvaro
