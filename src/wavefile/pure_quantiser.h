// Turns double samples (full scale 1.0) into the bytes of a PCM or float WAV
// file, rounding to the nearest step, with triangular (TPDF) dither of +-1
// step when asked for. PCM results are held within the format's range; float
// samples are stored as they are.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

#include "base/pure_random.h"

namespace zelvaro {

enum class SampleEncoding : uint8_t { kPcm16, kPcm24, kPcm32, kFloat32 };

// Bytes one sample takes in the file.
int encodingBytes(SampleEncoding encoding);

// A double as a float sample: values beyond float's range are held at its
// largest finite value instead of an undefined conversion.
float heldFloat(double value);

class PureQuantiser {
public:
    // Dither is added only for 16- and 24-bit PCM, and only with a seed.
    PureQuantiser(SampleEncoding encoding, std::optional<uint64_t> ditherSeed);

    // Writes `count` samples, each multiplied by `gain`, to `out`
    // (count * encodingBytes bytes, little-endian).
    void convert(const double* samples, size_t count, double gain, uint8_t* out);

    SampleEncoding encoding() const { return encoding_; }
    bool dithered() const { return dither_.has_value(); }

private:
    int64_t quantise(double scaled);

    SampleEncoding encoding_;
    double scale_;  // steps per 1.0
    int64_t lowest_;
    int64_t highest_;
    std::optional<PureRandom> dither_;
};

}  // namespace zelvaro
