#include "wavefile/pure_quantiser.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstring>

namespace zelvaro {

int encodingBytes(SampleEncoding encoding) {
    switch (encoding) {
        case SampleEncoding::kPcm16: return 2;
        case SampleEncoding::kPcm24: return 3;
        case SampleEncoding::kPcm32:
        case SampleEncoding::kFloat32: return 4;
    }
    return 2;
}

PureQuantiser::PureQuantiser(SampleEncoding encoding, std::optional<uint64_t> ditherSeed) : encoding_(encoding) {
    const int bits = encodingBytes(encoding) * 8;
    scale_ = std::ldexp(1.0, bits - 1);
    highest_ = (int64_t{1} << (bits - 1)) - 1;
    lowest_ = -(int64_t{1} << (bits - 1));
    if (ditherSeed && (encoding == SampleEncoding::kPcm16 || encoding == SampleEncoding::kPcm24))
        dither_.emplace(*ditherSeed);
}

float heldFloat(double value) {
    return static_cast<float>(std::clamp(value, -static_cast<double>(FLT_MAX), static_cast<double>(FLT_MAX)));
}

int64_t PureQuantiser::quantise(double scaled) {
    if (dither_) scaled += dither_->triangular();
    // NaN and values far out of range end at the nearer limit rather than in
    // an undefined conversion.
    if (!(scaled > static_cast<double>(lowest_))) return lowest_;
    if (scaled >= static_cast<double>(highest_)) return highest_;
    return static_cast<int64_t>(std::floor(scaled + 0.5));
}

void PureQuantiser::convert(const double* samples, size_t count, double gain, uint8_t* out) {
    switch (encoding_) {
        case SampleEncoding::kFloat32:
            for (size_t i = 0; i < count; ++i) {
                const float f = heldFloat(samples[i] * gain);
                uint32_t bits;
                std::memcpy(&bits, &f, 4);
                for (int b = 0; b < 4; ++b) *out++ = static_cast<uint8_t>(bits >> (8 * b));
            }
            return;
        default: {
            const int bytes = encodingBytes(encoding_);
            for (size_t i = 0; i < count; ++i) {
                const uint64_t v = static_cast<uint64_t>(quantise(samples[i] * gain * scale_));
                for (int b = 0; b < bytes; ++b) *out++ = static_cast<uint8_t>(v >> (8 * b));
            }
        }
    }
}

}  // namespace zelvaro
