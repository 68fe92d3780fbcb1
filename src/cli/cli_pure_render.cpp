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

PureSinkFiller pureFiller(std::function<PureSourcePtr()> makeSource, int64_t frames,
                          std::optional<double> peakDbfs, bool limit) {
    return [makeSource, frames, peakDbfs, limit](RenderProgress& progress, PureRenderJob& job) {
        job.makeSource = makeSource;
        job.frames = frames;
        job.peakDbfs = peakDbfs;
        job.limit = limit;
        return RenderPureToSink(progress, job);
    };
}

PureSinkFiller chainPeakFiller(std::function<SoundSourceRef()> makeSource, int64_t expectedFrames, double peakDbfs) {
    return [makeSource, expectedFrames, peakDbfs](RenderProgress& progress, PureRenderJob& job) -> int {
        PureWavSink* sink = job.sink.get();
        if (!job.sink.usable()) {
            job.failureReason = "the output file cannot be created";
            return kRenderUnusable;
        }
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
        RenderJob write;
        write.caption = job.caption;
        write.source = makeSource();
        write.sink = job.sink.sink();
        write.expectedFrames = expectedFrames;
        const int written = RenderToSink(progress, write);
        job.failureReason = write.failureReason;
        return written;
    };
}

}  // namespace zelvaro::cli
