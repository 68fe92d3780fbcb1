// The source a render of a whole tone reads: the same samples as
// createSignalSource, made on the machine's cores beside the render loop.
#pragma once

#include <cstdint>
#include <optional>

#include "signal/sound_source.h"
#include "tone/tone_settings.h"

namespace zelvaro {

// A tone is rendered a block at a time by `threads` threads (by default two
// to four, after the machine's cores), each with a copy of the generator;
// noise is rendered ahead on one thread. Not for real-time playback: the
// threads start with the first read and run ahead of it.
SoundSourceRef createRenderSource(const ToneSettings& tone, std::optional<uint32_t> seed = std::nullopt,
                                  int threads = 0);

}  // namespace zelvaro
