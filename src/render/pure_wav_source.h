// A WAV file as a source of the pure path, with the channel count asked for
// (the left channel of stereo for mono, mono doubled for stereo) and, at
// another rate, the pure rate converter after it.
#pragma once

#include <memory>

#include "signal/pure_source.h"
#include "wavefile/pure_wav_reader.h"

namespace zelvaro {

// Empty when the file cannot be read (reader->error() says why).
PureSourcePtr createPureWavSource(std::shared_ptr<PureWavReader> reader, int32_t sampleRate, uint8_t channels);

}  // namespace zelvaro
