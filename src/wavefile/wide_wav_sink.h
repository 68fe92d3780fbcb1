// WAV writers for the measurement formats: 16-, 24- and 32-bit PCM and
// 32-bit IEEE float (format tag 3, the record common readers expect), with
// optional TPDF dither and a gain. They take the chain's int32 samples (full
// scale 524,288) like every sink, and double samples (full scale 1.0) from
// the double-precision path.
#pragma once

#include <optional>
#include <vector>

#include "wavefile/sample_quantiser.h"
#include "wavefile/wav_file_sink.h"

namespace zelvaro {

struct WideWavFormat {
    int32_t sampleRate = 44100;
    uint8_t channels = 1;
    SampleEncoding encoding = SampleEncoding::kPcm16;
    std::optional<uint64_t> ditherSeed;  // TPDF dither (16 and 24 bits) when set
    double gain = 1.0;                   // applied to every sample before it is stored
    // The samples come from the double-precision path (for what the tools
    // say they wrote; the writer itself does not read it).
    bool doublePrecision = false;
};

class WideWavSink final : public WavFileSink {
public:
    WideWavSink(const char* path, const WideWavFormat& format);
    WideWavSink(FileStream output, const WideWavFormat& format);

    // Appends frames of double samples at full scale 1.0.
    void writeDouble(const double* samples, int frames);

    const WideWavFormat& format() const { return format_; }
    // Changes the gain for the samples written from now on.
    void setGain(double gain) { format_.gain = gain; }

private:
    void convert(const int32_t* samples, size_t count) override;

    WideWavFormat format_;
    SampleQuantiser quantiser_;
    std::vector<double> widened_;
    const double* pending_ = nullptr;  // the block writeDouble is handing to write()
};

// A handle to a new WideWavSink; empty only when it cannot be allocated.
SoundSinkRef createWideWavSink(const char* path, const WideWavFormat& format);
SoundSinkRef createWideWavSink(FileStream output, const WideWavFormat& format);

}  // namespace zelvaro
