// The source for a tone record: the tone generator or one of the noises.
#pragma once

#include <cstdint>
#include <optional>

#include "signal/sound_source.h"
#include "tone/tone_settings.h"

namespace zelvaro {

// White noise for waveform 5, pink noise for 6 (for the record's duration when
// it has one, else continuous), a ToneSource for every other code. A noise is
// seeded with `seed`, or with the clock in seconds without one. An empty handle
// when the source cannot be allocated.
SoundSourceRef createSignalSource(const ToneSettings& tone, std::optional<uint32_t> seed = std::nullopt);

// The channels of createSignalSource's source for `tone`, which a render of
// it is saved with: noise is mono, a tone has two channels when it is stereo.
uint8_t signalChannels(const ToneSettings& tone);

}  // namespace zelvaro
