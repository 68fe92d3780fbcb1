#include "cli/cli_pure_render.h"

#include <algorithm>
#include <cstdlib>
#include <new>

#include "render/pure_render_to_sink.h"
#include "signal/pure_source.h"

namespace zelvaro::cli {

namespace {

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

}  // namespace

SinkFiller pureFiller(std::function<PureSourcePtr()> makeSource, int64_t frames, std::optional<double> peakDbfs,
                      bool limit) {
    return [makeSource, frames, peakDbfs, limit](RenderProgress& progress, RenderJob& job) {
        return RenderPureToSink(progress, job, makeSource, frames, peakDbfs, limit);
    };
}

SinkFiller chainPeakFiller(std::function<SoundSourceRef()> makeSource, int64_t expectedFrames, double peakDbfs) {
    return [makeSource, expectedFrames, peakDbfs](RenderProgress& progress, RenderJob& job) -> int {
        auto* sink = static_cast<PureWavSink*>(job.sink.get());
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
        sink->setGain(gainForPeak(static_cast<double>(meter->peak) / kChainFullScale, peakDbfs));
        job.source = makeSource();
        job.expectedFrames = expectedFrames;
        return RenderToSink(progress, job);
    };
}

}  // namespace zelvaro::cli
