#include "render/pure_render_to_sink.h"

#include <algorithm>
#include <cmath>
#include <new>
#include <string>
#include <vector>

#include "signal/pure_limiter.h"
#include "wavefile/pure_wav_sink.h"

namespace zelvaro {

namespace {

constexpr int kPureBlockFrames = 8192;
// As the chain's loop: the bar stops short of the end, so that the closing
// of the file still has room to show.
constexpr double kProgressScale = 1.1;

int refuse(RenderJob& job, std::string reason) {
    job.failureReason = std::move(reason);
    return kRenderUnusable;
}

// Reads `frames` frames of `source` in blocks, handing each to `take`, which
// returns false to stop early; false when the user cancelled.
template <typename Take>
bool pull(PureSource& source, int64_t frames, RenderProgress& progress, double progressFrom, double progressTo,
          Take take) {
    std::vector<double> block(static_cast<size_t>(kPureBlockFrames) * source.channels);
    for (int64_t done = 0; done < frames;) {
        if (!progress.pump()) return false;
        const int n = static_cast<int>(std::min<int64_t>(kPureBlockFrames, frames - done));
        source.read(block.data(), n);
        if (!take(block.data(), n)) return true;
        done += n;
        progress.setProgress((progressFrom + (progressTo - progressFrom) * static_cast<double>(done) / frames) /
                             kProgressScale);
    }
    return true;
}

int render(RenderProgress& progress, RenderJob& job, PureWavSink& sink,
           const std::function<PureSourcePtr()>& makeSource, int64_t frames, std::optional<double> peakDbfs,
           bool limit) {
    const bool twoPasses = peakDbfs.has_value();
    if (twoPasses) {
        PureSourcePtr first = makeSource();
        if (!first) return refuse(job, "there is no sound to render");
        double peak = 0;
        const size_t channels = first->channels;
        if (!pull(*first, frames, progress, 0.0, 0.5, [&](const double* x, int n) {
                for (size_t i = 0; i < static_cast<size_t>(n) * channels; ++i) peak = std::max(peak, std::fabs(x[i]));
                return true;
            }))
            return kRenderCancelled;
        sink.setGain(gainForPeak(peak, *peakDbfs));
    }
    PureSourcePtr source = makeSource();
    if (!source) return refuse(job, "there is no sound to render");
    if (source->channels != sink.channels)
        return refuse(job, "cannot write " + std::to_string(source->channels) + " channels as " +
                               std::to_string(sink.channels));
    // Scaled to a peak of at most 0 dBFS, nothing is left to limit.
    if (!twoPasses && limit) {
        const PureLimits limits = pureLimits(sink.format().encoding);
        source = std::make_unique<PureLimiter>(std::move(source), limits.positive, limits.negative);
    }
    if (!pull(*source, frames, progress, twoPasses ? 0.5 : 0.0, 1.0, [&](const double* x, int n) {
            sink.writePure(x, n);
            return !sink.writeError();
        }))
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

int RenderPureToSink(RenderProgress& progress, RenderJob& job, const std::function<PureSourcePtr()>& makeSource,
                     int64_t frames, std::optional<double> peakDbfs, bool limit) {
    progress.setText(0, job.caption);
    progress.setText(1, "Please wait...");
    progress.setProgress(0);
    job.failureReason.clear();
    auto* sink = static_cast<PureWavSink*>(job.sink.get());
    if (!job.sink.usable()) return refuse(job, "the output file cannot be created");
    if (frames > sink->framesLeft())
        return refuse(job, "the sound is too long for a WAV file: " + std::to_string(frames) +
                               " frames, more than the " + std::to_string(sink->framesLeft()) +
                               " it can hold (its data must stay within 4 GiB and 2^31 - 1 frames)");
    sink->expectFrames(frames);
    // The sources and their blocks are allocated as they are made; a render
    // runs behind a window's messages, where no exception may pass.
    try {
        return render(progress, job, *sink, makeSource, frames, peakDbfs, limit);
    } catch (const std::bad_alloc&) {
        return refuse(job, "there is not enough memory to render the sound");
    }
}

}  // namespace zelvaro
