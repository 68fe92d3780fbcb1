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
    const double* source = pending_;
    if (!source) {
        for (size_t i = 0; i < count; ++i) chainSamples_[i] = samples[i] / kChainFullScale;
        source = chainSamples_.data();
    }
    quantiser_.convert(source, count, format_.gain, conversionBuffer.data());
}

void PureWavSink::writePure(const double* samples, int frames) {
    for (int done = 0; done < frames;) {
        const int n = std::min(kMaxBlockFrames, frames - done);
        pending_ = samples + static_cast<size_t>(done) * channels;
        // The int32 pointer is not read while pending_ is set.
        static const int32_t unused = 0;
        write(&unused, n);
        pending_ = nullptr;
        done += n;
    }
}

SoundSinkRef createPureWavSink(const char* path, const PureWavFormat& format) {
    return SoundSinkRef(new (std::nothrow) PureWavSink(path, format));
}

SoundSinkRef createPureWavSink(FileStream output, const PureWavFormat& format) {
    return SoundSinkRef(new (std::nothrow) PureWavSink(std::move(output), format));
}

}  // namespace zelvaro
