// WAV writers for the measurement formats: 16-, 24- and 32-bit PCM and
// 32-bit IEEE float (format tag 3, the record common readers expect), with
// optional TPDF dither and a gain. They take the chain's int32 samples (full
// scale 524,288) like every sink, and double samples (full scale 1.0) from
// the double-precision path.
#pragma once

#include <optional>
#include <vector>

#include "wavefile/pure_quantiser.h"
#include "wavefile/wav_file_sink.h"

namespace zelvaro {

struct PureWavFormat {
    int32_t sampleRate = 44100;
    uint8_t channels = 1;
    SampleEncoding encoding = SampleEncoding::kPcm16;
    std::optional<uint64_t> ditherSeed;  // TPDF dither (16 and 24 bits) when set
    double gain = 1.0;                   // applied to every sample before it is stored
    // The samples come from the double-precision path (for what the tools
    // say they wrote; the writer itself does not read it).
    bool fromPureSources = false;
};

class PureWavSink final : public WavFileSink {
public:
    PureWavSink(const char* path, const PureWavFormat& format);
    PureWavSink(FileStream output, const PureWavFormat& format);

    // Appends frames of double samples at full scale 1.0.
    void writePure(const double* samples, int frames);

    const PureWavFormat& format() const { return format_; }
    // Changes the gain for the samples written from now on.
    void setGain(double gain) { format_.gain = gain; }

private:
    void convert(const int32_t* samples, size_t count) override;

    PureWavFormat format_;
    PureQuantiser quantiser_;
    std::vector<double> chainSamples_;
};

// A counted handle to a PureWavSink, sharing SoundSinkRef's count, for what
// needs the writer as it is (its double samples, its gain) without a cast.
class PureWavSinkRef {
public:
    PureWavSinkRef() = default;
    explicit PureWavSinkRef(PureWavSink* sink) : ref_(sink), sink_(sink) {}

    PureWavSink* get() const { return sink_; }
    PureWavSink* operator->() const { return sink_; }
    PureWavSink& operator*() const { return *sink_; }
    explicit operator bool() const { return sink_ != nullptr; }
    bool usable() const { return ref_.usable(); }
    // The same writer as a sink of the chain, for the chain's render loop.
    const SoundSinkRef& sink() const { return ref_; }
    void release() {
        ref_.release();
        sink_ = nullptr;
    }

private:
    SoundSinkRef ref_;
    PureWavSink* sink_ = nullptr;
};

// A handle to a new PureWavSink; empty only when it cannot be allocated.
PureWavSinkRef createPureWavSink(const char* path, const PureWavFormat& format);
PureWavSinkRef createPureWavSink(FileStream output, const PureWavFormat& format);

}  // namespace zelvaro
