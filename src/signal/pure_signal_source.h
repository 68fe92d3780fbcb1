// The pure path's counterpart of createSignalSource.
#pragma once

#include <cstdint>

#include "signal/pure_source.h"
#include "tone/tone_settings.h"

namespace zelvaro {

// The source for a tone record at `sampleRate` with `channels` channels:
// tones synthesised at that rate; white or pink noise made at 44,100 Hz
// (seeded with `seed`) and brought to the rate by the pure rate converter.
// The length is the record's duration at that rate (0 without one).
PureSourcePtr createPureSource(const ToneSettings& tone, int32_t sampleRate, uint8_t channels, uint64_t seed);

}  // namespace zelvaro
