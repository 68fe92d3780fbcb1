#include "tone/tone_settings.h"

#include <cstring>

namespace zelvaro {

namespace {

const char* const kWaveformNames[kWaveformCount] = {
    "Sine", "Square", "Triangular", "Saw Tooth", "Impulse", "White Noise", "Pink Noise",
};

constexpr uint16_t kKindBits = kFlagSweep | kFlagLogSweep | kFlagFixedDuration;

}  // namespace

void setDefaults(ToneSettings& tone) {
    // Clear every byte first so that a saved default record is fully determined.
    std::memset(&tone, 0, sizeof tone);
    tone.flags = 0;
    tone.waveform = kWaveSine;
    tone.toneCount = 1;
    tone.durationMs = 1000;
    for (int i = 0; i < kMaxTones; ++i) {
        tone.startLeft[i] = 1000.0;
        tone.endLeft[i] = 1000.0;
        tone.startRight[i] = 1000.0;
        tone.endRight[i] = 1000.0;
        tone.relativeAmplitude[i] = 0;
    }
}

void setToneKind(ToneSettings& tone, ToneKind kind) {
    uint16_t bits = 0;
    switch (kind) {
    case ToneKind::ConstantContinuous: bits = 0; break;
    case ToneKind::ConstantDuration: bits = kFlagFixedDuration; break;
    case ToneKind::SweepLinear: bits = kFlagSweep | kFlagFixedDuration; break;
    case ToneKind::SweepLog: bits = kFlagSweep | kFlagLogSweep | kFlagFixedDuration; break;
    }
    tone.flags = static_cast<uint16_t>((tone.flags & ~kKindBits) | bits);
}

ToneKind toneKind(const ToneSettings& tone) {
    // A sweep without a duration does not sweep, so it reads as a continuous constant tone.
    if (!tone.fixedDuration()) return ToneKind::ConstantContinuous;
    if (!tone.sweep()) return ToneKind::ConstantDuration;
    return tone.logSweep() ? ToneKind::SweepLog : ToneKind::SweepLinear;
}

void setStereo(ToneSettings& tone, bool stereo) {
    if (stereo) {
        tone.flags = static_cast<uint16_t>(tone.flags | kFlagStereo);
    } else {
        tone.flags = static_cast<uint16_t>(tone.flags & ~kFlagStereo);
    }
}

void toggleVariableAmplitude(ToneSettings& tone) {
    tone.flags = static_cast<uint16_t>(tone.flags ^ kFlagVariableAmplitude);
}

void setWaveform(ToneSettings& tone, int waveform) {
    if (waveform < 0) waveform = 0;
    if (waveform > kWaveformCount - 1) waveform = kWaveformCount - 1;
    tone.waveform = static_cast<uint8_t>(waveform);
}

void setToneCount(ToneSettings& tone, int count) {
    if (count < 1) count = 1;
    if (count > kMaxTones) count = kMaxTones;
    tone.toneCount = static_cast<uint8_t>(count);
}

const char* waveformName(int waveform) {
    if (waveform < 0 || waveform >= kWaveformCount) return "";
    return kWaveformNames[waveform];
}

const char* waveformName(const ToneSettings& tone) { return waveformName(tone.waveform); }

}  // namespace zelvaro
