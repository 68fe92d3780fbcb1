// The part that render and convert share: a WAV sink for the output, the
// render loop with a terminal progress line, and the checks that decide the
// exit code.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "render/pure_render_to_sink.h"
#include "render/render_to_sink.h"
#include "signal/sound_source.h"
#include "wavefile/wav_header.h"
#include "wavefile/pure_wav_sink.h"

namespace zelvaro::cli {

struct OutputFormat {
    int32_t sampleRate;
    uint8_t channels;
    uint16_t bitsPerSample;
    // A compressed format to write instead of PCM when its tag is not 0;
    // never with standard output, which applyFormatOption refuses.
    WaveFormat compressed = {};
    // 24-bit or float samples, dither or a gain: written by a PureWavSink
    // when set (its rate and channels are taken from the fields above).
    std::optional<PureWavFormat> pure = {};
};

// Fills the job's pure writer (job.sink and job.caption are set before the
// call; the rest is the filler's) and returns a RenderResult, with
// job.failureReason for kRenderUnusable.
using PureSinkFiller = std::function<int(RenderProgress& progress, PureRenderJob& job)>;

// Renders the whole source into a WAV file at `outPath` ("-" for standard
// output, see OutputFile). A file that was there is replaced only by a
// complete render; on failure the tool says why on stderr, with the system's
// reason, and leaves no short file looking complete. `expectedFrames` is the
// source's true length at the output rate when known
// (RenderJob::expectedFrames). Returns an ExitCode.
int renderToWavFile(const SoundSourceRef& source, const std::string& outPath, const OutputFormat& format,
                    int64_t expectedFrames = -1);

// The same into the pure writer that format.pure describes (which must be
// set), filled by a render of its own in place of the chain's render loop.
int renderToWavFile(const PureSinkFiller& fill, const std::string& outPath, const OutputFormat& format);

}  // namespace zelvaro::cli
