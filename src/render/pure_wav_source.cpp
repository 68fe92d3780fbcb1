#include "render/pure_wav_source.h"

#include <algorithm>
#include <vector>

#include "signal/pure_rate_converter.h"

namespace zelvaro {

namespace {

class PureWavSource final : public PureSource {
public:
    PureWavSource(std::shared_ptr<PureWavReader> reader, uint8_t channels)
        : PureSource(reader->sampleRate(), channels, reader->frames()), reader_(std::move(reader)) {}

    // Past the end of the data the file gives silence.
    void read(double* out, int frames) override {
        const int in = reader_->channels();
        block_.resize(static_cast<size_t>(frames) * in);
        const int got = reader_->read(block_.data(), frames);
        std::fill(block_.begin() + static_cast<ptrdiff_t>(got) * in, block_.end(), 0.0);
        for (int f = 0; f < frames; ++f) {
            const double* frame = block_.data() + static_cast<size_t>(f) * in;
            for (int c = 0; c < channels; ++c) out[static_cast<size_t>(f) * channels + c] = frame[std::min(c, in - 1)];
        }
    }

private:
    std::shared_ptr<PureWavReader> reader_;
    std::vector<double> block_;
};

}  // namespace

PureSourcePtr createPureWavSource(std::shared_ptr<PureWavReader> reader, int32_t sampleRate, uint8_t channels) {
    if (!reader->ok()) return nullptr;
    PureSourcePtr source = std::make_unique<PureWavSource>(reader, channels);
    if (sampleRate == reader->sampleRate()) return source;
    return std::make_unique<PureRateConverter>(std::move(source), sampleRate);
}

}  // namespace zelvaro
