// The renders behind --pure and --peak: the double-precision path into a
// pure WAV writer (the loop the program's Save As Wav shares), and the two
// passes that set a render's peak level on the chain (one to find the
// largest sample, one to write the render scaled to the level).
#pragma once

#include <cstdint>
#include <functional>
#include <optional>

#include "cli/cli_render_to_file.h"
#include "signal/pure_source.h"
#include "tone/tone_settings.h"

namespace zelvaro::cli {

// Fills a PureWavSink with `frames` frames from the pure sources that
// `makeSource` builds (see RenderPureToSink).
PureSinkFiller pureFiller(std::function<PureSourcePtr()> makeSource, int64_t frames, std::optional<double> peakDbfs,
                      bool limit = true);

// The same two passes over the program's own chain (SoundSources that
// `makeSource` builds, rendered by the chain's render loop), for a
// compressed file, which only the chain reads (its codec's 16 bits cannot
// exceed full scale, so the chain clips nothing before the gain).
PureSinkFiller chainPeakFiller(std::function<SoundSourceRef()> makeSource, int64_t expectedFrames, double peakDbfs);

}  // namespace zelvaro::cli
