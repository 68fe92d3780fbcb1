#include "render/pure_render_to_sink.h"

#include <algorithm>
#include <cmath>
#include <new>
#include <string>
#include <vector>

#include "base/block_frames.h"
#include "signal/pure_limiter.h"

namespace zelvaro {

namespace {

int refuse(PureRenderJob& job, std::string reason) {
    job.failureReason = std::move(reason);
    return kRenderUnusable;
}

// Reads job.frames frames of `source` in blocks, handing each to `take`,
// which returns false to stop early, as the part of the job from
// `progressFrom` to `progressTo`; kRenderCancelled when the user cancelled,
// else kRenderFinished.
template <typename Take>
int pull(PureSource& source, int64_t frames, RenderProgress& progress, double progressFrom, double progressTo,
         Take take) {
    std::vector<double> block(static_cast<size_t>(kMaxBlockFrames) * source.channels);
    int64_t done = 0;
    if (frames <= 0) return kRenderFinished;
    return runRenderPass(progress, frames, progressFrom, progressTo, [&]() -> RenderStep {
        const int n = static_cast<int>(std::min<int64_t>(kMaxBlockFrames, frames - done));
        source.read(block.data(), n);
        if (!take(block.data(), n)) return {kRenderFinished};
        done += n;
        return {done < frames ? RenderStep::kMore : kRenderFinished, done};
    });
}

int render(RenderProgress& progress, PureRenderJob& job) {
    PureWavSink& sink = *job.sink;
    const bool twoPasses = job.peakDbfs.has_value();
    if (twoPasses) {
        PureSourcePtr first = job.makeSource();
        if (!first) return refuse(job, "there is no sound to render");
        double peak = 0;
        const size_t channels = first->channels;
        if (pull(*first, job.frames, progress, 0.0, 0.5, [&](const double* x, int n) {
                for (size_t i = 0; i < static_cast<size_t>(n) * channels; ++i) peak = std::max(peak, std::fabs(x[i]));
                return true;
            }) == kRenderCancelled)
            return kRenderCancelled;
        sink.setGain(gainForPeak(peak, *job.peakDbfs));
    }
    PureSourcePtr source = job.makeSource();
    if (!source) return refuse(job, "there is no sound to render");
    if (source->channels != sink.channels)
        return refuse(job, "cannot write " + std::to_string(source->channels) + " channels as " +
                               std::to_string(sink.channels));
    // Scaled to a peak of at most 0 dBFS, nothing is left to limit.
    if (!twoPasses && job.limit) {
        // The writer's gain comes after the limiter: the limits are where the
        // gain puts the format's own.
        const PureLimits limits = pureLimits(sink.format().encoding);
        const double gain = sink.format().gain;
        source = std::make_unique<PureLimiter>(std::move(source), limits.positive / gain, limits.negative / gain);
    }
    if (pull(*source, job.frames, progress, twoPasses ? 0.5 : 0.0, 1.0, [&](const double* x, int n) {
            sink.writePure(x, n);
            return !sink.writeError();
        }) == kRenderCancelled)
        return kRenderCancelled;
    if (sink.writeError()) return refuse(job, "writing the output file failed (is the disk full?)");
    return kRenderFinished;
}

}  // namespace

double gainForPeak(double peak, double peakDbfs) {
    return peak > 0 ? std::pow(10.0, peakDbfs / 20.0) / peak : 1.0;
}

PureLimits pureLimits(SampleEncoding encoding) {
    switch (encoding) {
        case SampleEncoding::kPcm16: return {32767.0 / 32768.0, 1.0};
        case SampleEncoding::kPcm24: return {8388607.0 / 8388608.0, 1.0};
        // 1.0 itself rounds to the top code, 2^-31 below it.
        default: return {1.0, 1.0};
    }
}

int RenderPureToSink(RenderProgress& progress, PureRenderJob& job) {
    progress.setText(0, job.caption);
    progress.setText(1, "Please wait...");
    progress.setProgress(0);
    job.failureReason.clear();
    if (!job.makeSource) return refuse(job, "there is no sound to render");
    if (!job.sink.usable()) return refuse(job, "the output file cannot be created");
    if (job.frames > job.sink->framesLeft())
        return refuse(job, "the sound is too long for a WAV file: " + std::to_string(job.frames) +
                               " frames, more than the " + std::to_string(job.sink->framesLeft()) +
                               " it can hold (its data must stay within 4 GiB and 2^31 - 1 frames)");
    job.sink->expectFrames(job.frames);
    // The sources and their blocks are allocated as they are made; a render
    // runs behind a window's messages, where no exception may pass.
    try {
        return render(progress, job);
    } catch (const std::bad_alloc&) {
        return refuse(job, "there is not enough memory to render the sound");
    }
}

}  // namespace zelvaro
