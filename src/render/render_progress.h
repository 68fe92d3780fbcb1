// What a render shows while it runs and how it learns of a cancel, and the
// loop of blocks that both sample chains' renders run under it.
#pragma once

#include <cstdint>
#include <string>

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

enum RenderResult {
    kRenderFinished = 0,
    kRenderCancelled = 1,
    kRenderUnusable = 2,
};

// Line 0 of a render's display unless its job names another.
constexpr char kRenderCaption[] = "Saving Wave File";

// The bar stops at 1 / kRenderProgressScale of the way when the samples are
// all written, so that the closing of the file still has room to show.
constexpr double kRenderProgressScale = 1.1;

// What one block of a render pass came to.
struct RenderStep {
    // Returned by a block after which more follow.
    static constexpr int kMore = -1;
    // kMore, or the pass's RenderResult once it is over.
    int result = kMore;
    // Frames of the pass done, for the bar; negative leaves the bar as it is.
    int64_t doneFrames = -1;
};

// The loop of a render pass (a render has one, or two when it finds its
// level first), for either chain's samples: before each block a cancel ends
// the pass with kRenderCancelled; after it, the bar shows the block's
// doneFrames of `totalFrames` as the part of the job from `from` to `to`
// (0 to 1). `block()` renders and writes one block and returns a RenderStep.
template <class Block>
int runRenderPass(RenderProgress& progress, int64_t totalFrames, double from, double to, Block block) {
    const double total = static_cast<double>(totalFrames == 0 ? 1 : totalFrames);
    for (;;) {
        if (!progress.pump()) return kRenderCancelled;
        const RenderStep step = block();
        if (step.doneFrames >= 0)
            progress.setProgress((from * total + (to - from) * static_cast<double>(step.doneFrames)) /
                                 (total * kRenderProgressScale));
        if (step.result != RenderStep::kMore) return step.result;
    }
}

}  // namespace zelvaro
