// The render loop of the pure path, shared by the program's Save As Wav and
// zelvaro-render: double samples from pure sources into a PureWavSink,
// through the pure limiter, or in two passes that set the render's peak.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "render/render_progress.h"
#include "signal/pure_source.h"
#include "wavefile/pure_quantiser.h"
#include "wavefile/pure_wav_sink.h"

namespace zelvaro {

// The range a render in `encoding` is held within, at full scale 1.0: a PCM
// width's top code above and its lowest code below (-1.0 exactly, so that
// a file's most negative sample passes unchanged); +-1.0 for float.
struct PureLimits {
    double positive;
    double negative;  // a magnitude
};
PureLimits pureLimits(SampleEncoding encoding);

// The gain that puts a render whose largest sample is `peak` (full scale
// 1.0) at `peakDbfs`; 1 for silence.
double gainForPeak(double peak, double peakDbfs);

// A render of the pure path: what RenderPureToSink reads and writes.
struct PureRenderJob {
    std::string caption = kRenderCaption;
    // Builds the render's source: once, or twice with peakDbfs.
    std::function<PureSourcePtr()> makeSource;
    PureWavSinkRef sink;
    int64_t frames = 0;
    // With a level, a first source is read to find its peak and a second is
    // written scaled to that level (a plain gain: nothing is limited or
    // clipped before it).
    std::optional<double> peakDbfs;
    // Without a level, the source goes through the pure limiter, or is
    // written as it is when this is false (a float file holds any level).
    bool limit = true;
    // Why RenderPureToSink returned kRenderUnusable, in words for the user.
    std::string failureReason;
};

// Writes job.frames frames from the sources that job.makeSource builds into
// job.sink. Refuses, before writing anything, an absent or failed sink and
// a length the sink cannot hold; stops early on a write error or a cancel,
// and refuses when memory runs out. Returns a RenderResult, with
// job.failureReason for kRenderUnusable.
int RenderPureToSink(RenderProgress& progress, PureRenderJob& job);

}  // namespace zelvaro
