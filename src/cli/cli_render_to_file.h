// The part that render and convert share: a WAV sink for the output, the
// render loop with a terminal progress line, and the checks that decide the
// exit code.
#pragma once

#include <cstdint>
#include <string>

#include "signal/sound_source.h"
#include "wavefile/wav_header.h"

namespace zelvaro::cli {

struct OutputFormat {
    int32_t sampleRate;
    uint8_t channels;
    uint16_t bitsPerSample;
    // A compressed format to write instead of PCM when its tag is not 0.
    WaveFormat compressed = {};
};

// Renders the whole source into a WAV file at `outPath` ("-" for standard
// output, see OutputFile). A file that was there is replaced only by a
// complete render; on failure the tool says why on stderr, with the system's
// reason, and leaves no short file looking complete. `expectedFrames` is the
// source's true length at the output rate when known
// (RenderJob::expectedFrames). Returns an ExitCode.
int renderToWavFile(const SoundSourceRef& source, const std::string& outPath, const OutputFormat& format,
                    int64_t expectedFrames = -1);

}  // namespace zelvaro::cli
