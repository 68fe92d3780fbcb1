// Tone records for the signal tests, filled field by field.
#pragma once

#include <cstring>

#include "tone/tone_settings.h"

namespace zelvaro::test {

// `count` tones at `hz`, mono, continuous, full level, waveform `waveform`.
inline ToneSettings toneRecord(int waveform = kWaveSine, int count = 1, double hz = 1000.0) {
    ToneSettings tone;
    std::memset(&tone, 0, sizeof tone);
    tone.waveform = static_cast<uint8_t>(waveform);
    tone.toneCount = static_cast<uint8_t>(count);
    tone.durationMs = 1000;
    for (int k = 0; k < kMaxTones; ++k) {
        tone.startLeft[k] = tone.endLeft[k] = hz;
        tone.startRight[k] = tone.endRight[k] = hz;
    }
    return tone;
}

inline ToneSettings withFlags(ToneSettings tone, uint16_t flags, uint32_t durationMs = 1000) {
    tone.flags = flags;
    tone.durationMs = durationMs;
    return tone;
}

}  // namespace zelvaro::test
