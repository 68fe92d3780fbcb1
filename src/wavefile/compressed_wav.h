// The hook through which non-PCM WAV files reach a codec: on Windows the
// Audio Compression Manager (compressed_wav_win.cpp); a build without one
// links compressed_wav_none.cpp, whose objects are failed from the start.
#pragma once

#include <cstdint>

#include "signal/sound_source.h"
#include "wavefile/file_stream.h"
#include "wavefile/sound_sink.h"
#include "wavefile/wav_header.h"

namespace zelvaro {

// A source for a file whose format tag is not PCM. `file` stands at the first
// byte of sample data; `dataBytes` is the data chunk's size field.
SoundSourceRef openCompressedWavSource(FileStream file, const WaveFormat& format, uint32_t dataBytes);

// A sink that writes `format` (a tag other than PCM) to `path`.
SoundSinkRef createCompressedWavSink(const char* path, const WaveFormat& format);

}  // namespace zelvaro
