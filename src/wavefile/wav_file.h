// Opening WAV files for reading and creating them for writing.
#pragma once

#include <cstdint>

#include "signal/sound_source.h"
#include "wavefile/file_stream.h"
#include "wavefile/sound_sink.h"
#include "wavefile/wav_header.h"

namespace zelvaro {

// A PCM writer for `path`: up to 8 bits per sample an 8-bit file, 9 to 16 a
// 16-bit file, more a 32-bit file. The handle is empty only when the object
// cannot be allocated; a file that cannot be opened gives a failed sink.
SoundSinkRef createWavSink(const char* path, int32_t sampleRate, int startFrame, uint16_t bitsPerSample,
                           uint8_t channels);

// The same writer on an output already open for writing (standard output,
// say); a closed one gives a failed sink.
SoundSinkRef createWavSink(FileStream output, int32_t sampleRate, uint16_t bitsPerSample, uint8_t channels);

// A writer for the format record: PCM through createWavSink (start frame 0),
// any other tag through the codec hook.
SoundSinkRef createWavSinkForFormat(const char* path, const WaveFormat& format);

// A reader that owns the open file, or an empty handle when the file is
// missing, unreadable or not an acceptable WAV file. PCM samples of up to 32
// bits are read, each taking its width rounded up to whole bytes; a wider one
// gives a failed source. A compressed format gives the codec's source (failed
// when no codec can decode it). When `format` is given, it receives the
// file's format record whenever a source is returned.
SoundSourceRef openWavSource(const char* path, WaveFormat* format = nullptr);

}  // namespace zelvaro
