// The render loop of Save As Wav, shared by the progress dialog of the
// program and by the command-line tool: pulls blocks from a source, adapted to
// the sink, and writes them until the source's length is reached.
#pragma once

#include <string>

#include "render/render_progress.h"
#include "signal/sound_source.h"
#include "wavefile/sound_sink.h"

namespace zelvaro {

struct RenderJob {
    std::string caption = kRenderCaption;
    SoundSourceRef source;
    SoundSinkRef sink;
    // The source's true length at the sink's rate when the caller knows it
    // (a fixed-duration tone, see toneFrames); -1 when it does not. The
    // adapted source's int32 length stops at the generator's limit, so only
    // this count shows a tone that would be cut short.
    int64_t expectedFrames = -1;
    // Why RenderToSink returned kRenderUnusable, in words for the user.
    std::string failureReason;
};

// Adapts the job's source to its sink (channel count, rate, peak level) and
// writes exactly the adapted source's length in frames. Refuses, before
// writing anything, a source or sink that is absent or failed, a source the
// adapters cannot fit to the sink, and a length the sink's format cannot
// hold (by the adapted length or by expectedFrames); tells the sink the length
// before the first write; stops early when the sink reports a write error.
int RenderToSink(RenderProgress& dialog, RenderJob& job);

}  // namespace zelvaro
