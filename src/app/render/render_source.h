// The source a render of a whole tone reads: the same samples as
// createSignalSource, made with both of the machine's cores where the tone
// has more than one oscillator to share out.
#pragma once

#include <cstdint>
#include <optional>

#include "signal/sound_source.h"
#include "tone/tone_settings.h"

namespace zelvaro {

// The tone's source read ahead on a thread of its own; for a tone of two or
// more oscillators that source adds two shares of it (ToneSource parts), the
// second read ahead on a further thread. Not for real-time playback: its
// threads start with the first read and run ahead of it.
SoundSourceRef createRenderSource(const ToneSettings& tone, std::optional<uint32_t> seed = std::nullopt);

}  // namespace zelvaro
