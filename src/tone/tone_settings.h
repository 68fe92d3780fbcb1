// The tone record: the whole description of the sound the program makes.
// Its in-memory layout is also the 536-byte tone file layout, so the struct
// must keep its fields in this order with no gaps.
#pragma once

#include <cstddef>
#include <cstdint>

namespace zelvaro {

constexpr int kMaxTones = 16;

// Bits of ToneSettings::flags.
enum ToneFlag : uint16_t {
    kFlagSweep = 1u << 0,
    kFlagLogSweep = 1u << 1,
    kFlagStereo = 1u << 2,
    kFlagFixedDuration = 1u << 3,
    kFlagVariableAmplitude = 1u << 4,
};

enum Waveform : uint8_t {
    kWaveSine = 0,
    kWaveSquare = 1,
    kWaveTriangular = 2,
    kWaveSawTooth = 3,
    kWaveImpulse = 4,
    kWaveWhiteNoise = 5,
    kWavePinkNoise = 6,
};
constexpr int kWaveformCount = 7;

// The four kinds the user picks from; stored only as a combination of flags.
enum class ToneKind {
    ConstantContinuous,
    ConstantDuration,
    SweepLinear,
    SweepLog,
};

struct ToneSettings {
    uint16_t flags;
    uint8_t waveform;
    uint8_t toneCount;
    uint32_t durationMs;
    double startLeft[kMaxTones];
    double endLeft[kMaxTones];
    double startRight[kMaxTones];
    double endRight[kMaxTones];
    int8_t relativeAmplitude[kMaxTones];

    bool sweep() const { return (flags & kFlagSweep) != 0; }
    bool logSweep() const { return (flags & kFlagLogSweep) != 0; }
    bool stereo() const { return (flags & kFlagStereo) != 0; }
    bool fixedDuration() const { return (flags & kFlagFixedDuration) != 0; }
    bool variableAmplitude() const { return (flags & kFlagVariableAmplitude) != 0; }
};

constexpr size_t kToneSettingsSize = 536;
static_assert(sizeof(ToneSettings) == kToneSettingsSize, "tone files hold the record byte for byte");
static_assert(offsetof(ToneSettings, flags) == 0);
static_assert(offsetof(ToneSettings, waveform) == 2);
static_assert(offsetof(ToneSettings, toneCount) == 3);
static_assert(offsetof(ToneSettings, durationMs) == 4);
static_assert(offsetof(ToneSettings, startLeft) == 8);
static_assert(offsetof(ToneSettings, endLeft) == 136);
static_assert(offsetof(ToneSettings, startRight) == 264);
static_assert(offsetof(ToneSettings, endRight) == 392);
static_assert(offsetof(ToneSettings, relativeAmplitude) == 520);

// One 1000 Hz sine, mono, continuous, full level; 1000 ms when a duration is chosen.
void setDefaults(ToneSettings& tone);
void setToneKind(ToneSettings& tone, ToneKind kind);
ToneKind toneKind(const ToneSettings& tone);
void setStereo(ToneSettings& tone, bool stereo);
void toggleVariableAmplitude(ToneSettings& tone);
// Out-of-range values are clamped so the record stays usable.
void setWaveform(ToneSettings& tone, int waveform);
void setToneCount(ToneSettings& tone, int count);
// The user-visible name of the record's waveform; "" for an unknown code.
const char* waveformName(const ToneSettings& tone);
const char* waveformName(int waveform);

}  // namespace zelvaro
