#include "wavefile/pure_wav_sink.h"

#include <algorithm>
#include <new>
#include <utility>

#include "base/full_scale.h"

namespace zelvaro {

namespace {

// The chain's limit for 16-bit output, kept for every width: the limiter
// then treats a render the same whatever it is written as.
constexpr int32_t kPurePeakLevel = 524272;

}  // namespace

PureWavSink::PureWavSink(const char* path, const PureWavFormat& format)
    : PureWavSink(FileStream::openForWriting(path), format) {}

PureWavSink::PureWavSink(FileStream output, const PureWavFormat& format)
    : WavFileSink(std::move(output), format.sampleRate, 0, encodingBytes(format.encoding), kPurePeakLevel,
                  format.channels,
                  format.encoding == SampleEncoding::kFloat32 ? kWaveFormatFloat : kWaveFormatPcm),
      format_(format),
      quantiser_(format.encoding, format.ditherSeed) {
    conversionBuffer.resize(static_cast<size_t>(channels) * kMaxBlockFrames * bytesPerSample);
    chainSamples_.resize(static_cast<size_t>(channels) * kMaxBlockFrames);
}

void PureWavSink::convert(const int32_t* samples, size_t count) {
    for (size_t i = 0; i < count; ++i) chainSamples_[i] = samples[i] / kChainFullScale;
    quantiser_.convert(chainSamples_.data(), count, format_.gain, conversionBuffer.data());
}

void PureWavSink::writePure(const double* samples, int frames) {
    appendFrames(frames, [this, samples](size_t firstSample, size_t count) {
        quantiser_.convert(samples + firstSample, count, format_.gain, conversionBuffer.data());
    });
}

PureWavSinkRef createPureWavSink(const char* path, const PureWavFormat& format) {
    return PureWavSinkRef(new (std::nothrow) PureWavSink(path, format));
}

PureWavSinkRef createPureWavSink(FileStream output, const PureWavFormat& format) {
    return PureWavSinkRef(new (std::nothrow) PureWavSink(std::move(output), format));
}

}  // namespace zelvaro
