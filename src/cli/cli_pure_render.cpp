#include "cli/cli_pure_render.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <new>
#include <vector>

#include "signal/pure_limiter.h"

namespace zelvaro::cli {

namespace {

constexpr int kPureBlockFrames = 8192;
constexpr double kChainFullScale = 524288.0;

// Takes the chain's blocks and keeps only their largest magnitude.
class PeakMeterSink final : public SoundSink {
public:
    PeakMeterSink(int32_t rate, int32_t peak, uint8_t channelCount) : SoundSink(rate, peak, channelCount) {}
    void write(const int32_t* samples, int frames) override {
        for (size_t i = 0; i < static_cast<size_t>(frames) * channels; ++i)
            peak = std::max<int64_t>(peak, std::llabs(static_cast<int64_t>(samples[i])));
        framesWritten += frames;
    }
    int64_t peak = 0;
};

double gainFor(double peak, double peakDbfs) { return peak > 0 ? std::pow(10.0, peakDbfs / 20.0) / peak : 1.0; }

// Reads `frames` frames of `source` in blocks, handing each to `take`;
// false when the user cancelled.
bool pull(PureSource& source, int64_t frames, RenderProgress& progress, double progressFrom, double progressTo,
          const std::function<bool(const double*, int)>& take) {
    std::vector<double> block(static_cast<size_t>(kPureBlockFrames) * source.channels);
    for (int64_t done = 0; done < frames;) {
        const int n = static_cast<int>(std::min<int64_t>(kPureBlockFrames, frames - done));
        source.read(block.data(), n);
        if (!take(block.data(), n)) return true;
        done += n;
        progress.setProgress(progressFrom + (progressTo - progressFrom) * static_cast<double>(done) / frames);
        if (!progress.pump()) return false;
    }
    return true;
}

}  // namespace

double pureLimit(SampleEncoding encoding) {
    switch (encoding) {
        case SampleEncoding::kPcm16: return 32767.0 / 32768.0;
        case SampleEncoding::kPcm24: return 8388607.0 / 8388608.0;
        default: return 1.0;
    }
}

SinkFiller pureFiller(std::function<PureSourcePtr()> makeSource, int64_t frames, std::optional<double> peakDbfs) {
    return [makeSource, frames, peakDbfs](RenderProgress& progress, RenderJob& job) -> int {
        auto* sink = static_cast<WideWavSink*>(job.sink.get());
        progress.setText(0, job.caption);
        if (frames > sink->framesLeft()) {
            job.failureReason = "the render is too long for a WAV file";
            return kRenderUnusable;
        }
        sink->expectFrames(frames);
        const bool twoPasses = peakDbfs.has_value();
        if (twoPasses) {
            PureSourcePtr first = makeSource();
            double peak = 0;
            if (!pull(*first, frames, progress, 0.0, 0.5, [&](const double* x, int n) {
                    for (size_t i = 0; i < static_cast<size_t>(n) * first->channels; ++i)
                        peak = std::max(peak, std::fabs(x[i]));
                    return true;
                }))
                return kRenderCancelled;
            sink->setGain(gainFor(peak, *peakDbfs));
        }
        PureSourcePtr source = makeSource();
        // Scaled to a peak of at most 0 dBFS, nothing is left to limit.
        if (!twoPasses) source = std::make_unique<PureLimiter>(std::move(source), pureLimit(sink->format().encoding));
        const bool finished = pull(*source, frames, progress, twoPasses ? 0.5 : 0.0, 1.0, [&](const double* x, int n) {
            sink->writeDouble(x, n);
            return !sink->writeError();
        });
        return finished ? kRenderFinished : kRenderCancelled;
    };
}

SinkFiller chainPeakFiller(std::function<SoundSourceRef()> makeSource, int64_t expectedFrames, double peakDbfs) {
    return [makeSource, expectedFrames, peakDbfs](RenderProgress& progress, RenderJob& job) -> int {
        auto* sink = static_cast<WideWavSink*>(job.sink.get());
        RenderJob measure;
        measure.caption = job.caption;
        measure.source = makeSource();
        auto* meter = new (std::nothrow) PeakMeterSink(sink->sampleRate, sink->peakLevel, sink->channels);
        measure.sink = meter;
        measure.expectedFrames = expectedFrames;
        if (!meter) {
            job.failureReason = "out of memory";
            return kRenderUnusable;
        }
        const int result = RenderToSink(progress, measure);
        if (result != kRenderFinished) {
            job.failureReason = measure.failureReason;
            return result;
        }
        sink->setGain(gainFor(static_cast<double>(meter->peak) / kChainFullScale, peakDbfs));
        job.source = makeSource();
        job.expectedFrames = expectedFrames;
        return RenderToSink(progress, job);
    };
}

}  // namespace zelvaro::cli
