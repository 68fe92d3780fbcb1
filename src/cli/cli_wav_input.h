// Opening a WAV file named on the command line, with the error said in words.
#pragma once

#include <string>

#include "signal/sound_source.h"
#include "wavefile/wav_header.h"

namespace zelvaro::cli {

// 0 with `source` and `format` set (the source may be failed for a format
// that cannot be decoded), or an ExitCode after printing why the file cannot
// be used.
int openWavInput(const std::string& path, SoundSourceRef& source, WaveFormat& format);

}  // namespace zelvaro::cli
