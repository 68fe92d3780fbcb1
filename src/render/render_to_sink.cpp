#include "render/render_to_sink.h"

#include <algorithm>
#include <cstdint>

#include "render/block_writer.h"
#include "signal/format_adapter.h"
#include "signal/peak_limiter.h"
#include "signal/sample_rate_converter.h"

namespace zelvaro {

namespace {

int refuse(RenderJob& job, std::string reason) {
    job.failureReason = std::move(reason);
    return kRenderUnusable;
}

}  // namespace

int RenderToSink(RenderProgress& dialog, RenderJob& job) {
    dialog.setText(0, job.caption);
    dialog.setText(1, "Please wait...");
    dialog.setProgress(0);
    job.failureReason.clear();

    SoundSourceRef source = job.source;
    SoundSinkRef sink = job.sink;
    if (!source.usable()) return refuse(job, "there is no sound to render");
    if (!sink.usable()) return refuse(job, "the output file cannot be created");

    source = ChannelCountAdapter(sink->channels).apply(source);
    source = SampleRateAdapter(sink->sampleRate).apply(source);
    source = PeakLimitAdapter(sink->peakLevel).apply(source);
    if (!source.usable()) return refuse(job, "the sound cannot be converted for the output file");
    // The adapters convert between mono and stereo only; a block of another
    // width would not match what the sink takes from it.
    if (source->channels != sink->channels)
        return refuse(job, "cannot convert " + std::to_string(source->channels) + " channels to " +
                               std::to_string(sink->channels));

    const int length = source->length();
    const int64_t wanted = std::max<int64_t>(length, job.expectedFrames);
    if (wanted > sink->framesLeft())
        return refuse(job, "the sound is too long for a WAV file: " + std::to_string(wanted) +
                               " frames, more than the " + std::to_string(sink->framesLeft()) +
                               " it can hold (its data must stay within 4 GiB and 2^31 - 1 frames)");
    if (wanted > length)
        return refuse(job, "the sound is too long: it has " + std::to_string(wanted) + " frames, only " +
                               std::to_string(length) + " of which can be rendered");
    sink->expectFrames(length);

    // Until it is drained (at the latest when it goes out of scope, on every
    // way out of the loop) the sink is the writer's. The limiter renders
    // straight into the writer's queue.
    BlockWriter writer(sink.get());
    int64_t lastPosition = source->position();
    const int result = runRenderPass(dialog, length, 0.0, 1.0, [&]() -> RenderStep {
        int32_t* block = writer.nextBlock();
        if (!block) return {refuse(job, "there is not enough memory to render the sound")};
        source->read(block, kMaxBlockFrames);
        const int64_t pos = source->position();
        const int64_t len = source->length();
        if (pos >= len) {
            const int64_t n = kMaxBlockFrames - (pos - len);
            if (n >= 1) writer.commit(static_cast<int>(n));
            return {kRenderFinished};
        }
        // A source that never moves (a continuous generator) would never end.
        if (pos <= lastPosition) return {refuse(job, "the sound has no end")};
        lastPosition = pos;
        writer.commit(kMaxBlockFrames);
        if (writer.writeError()) return {kRenderFinished};
        return {RenderStep::kMore, pos};
    });
    if (result != kRenderFinished) return result;
    writer.drain();
    if (sink->writeError())
        return refuse(job, "writing the output file failed (is the disk full?)");
    return kRenderFinished;
}

}  // namespace zelvaro
