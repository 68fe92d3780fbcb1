// The render loop of Save As Wav, shared by the progress dialog of the
// program and by the command-line tool: pulls blocks from a source, adapted to
// the sink, and writes them until the source's length is reached.
#pragma once

#include <string>

#include "signal/sound_source.h"
#include "wavefile/sound_sink.h"

namespace zelvaro {

// What the render loop shows while it runs and how it learns of a cancel.
class RenderProgress {
public:
    virtual ~RenderProgress() = default;
    // Line 0 names the job, line 1 says what goes on.
    virtual void setText(int line, const std::string& text) = 0;
    // The bar, 0 to 1.
    virtual void setProgress(double fraction) = 0;
    // Lets the display handle its events between blocks; false once the user
    // has cancelled (the dialog is gone).
    virtual bool pump() = 0;
};

struct RenderJob {
    std::string caption = "Saving Wave File";
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

enum RenderResult {
    kRenderFinished = 0,
    kRenderCancelled = 1,
    kRenderUnusable = 2,
};

// Frames asked for in one read and written in one write.
constexpr int kRenderBlockFrames = 8192;

// Adapts the job's source to its sink (channel count, rate, peak level) and
// writes exactly the adapted source's length in frames. Refuses, before
// writing anything, a source or sink that is absent or failed, a source the
// adapters cannot fit to the sink, and a length the sink's format cannot
// hold (by the adapted length or by expectedFrames); tells the sink the length
// before the first write; stops early when the sink reports a write error.
int RenderToSink(RenderProgress& dialog, RenderJob& job);

}  // namespace zelvaro
