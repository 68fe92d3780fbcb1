// The render loop of the pure path, shared by the program's Save As Wav and
// zelvaro-render: double samples from pure sources into a WideWavSink,
// through the pure limiter, or in two passes that set the render's peak.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>

#include "render/render_to_sink.h"
#include "signal/pure_source.h"
#include "wavefile/sample_quantiser.h"

namespace zelvaro {

// The largest sample magnitude at which a render in `encoding` is held
// (the top code of a PCM width, 1.0 for float), at full scale 1.0.
double pureLimit(SampleEncoding encoding);

// The gain that puts a render whose largest sample is `peak` (full scale
// 1.0) at `peakDbfs`; 1 for silence.
double gainForPeak(double peak, double peakDbfs);

// Writes `frames` frames from the sources that `makeSource` builds into
// job.sink, which must be a WideWavSink (job.source is not read). With
// `peakDbfs`, a first source is read to find its peak and a second is
// written scaled to that level; without it, one source is written through
// the pure limiter. Refuses, before writing anything, an absent or failed
// sink and a length the sink cannot hold; stops early on a write error or a
// cancel, and refuses when memory runs out. Returns a RenderResult, with
// job.failureReason for kRenderUnusable.
int RenderPureToSink(RenderProgress& progress, RenderJob& job, const std::function<PureSourcePtr()>& makeSource,
                     int64_t frames, std::optional<double> peakDbfs = std::nullopt);

}  // namespace zelvaro
