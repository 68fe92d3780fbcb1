// Renders the periodic waveforms of a tone record: up to 16 wavetable
// oscillators per channel, summed, at 44,100 frames per second, optionally
// sweeping each oscillator's frequency over the tone's duration.
#pragma once

#include <memory>

#include "signal/oscillator.h"
#include "signal/sound_source.h"
#include "tone/tone_settings.h"

namespace zelvaro {

// Frames between two sweep updates.
constexpr int kSweepInterval = 32;

class ToneSource : public SoundSource {
public:
    // Copies what it needs from the record. More than 16 tones are taken as 16.
    explicit ToneSource(const ToneSettings& tone);
    // Renders only share `part` of `parts` of the oscillators (tone k of each
    // channel when k % parts == part); the shares' samples, added with 32-bit
    // wrap-around, are the whole tone's samples, so the shares can be rendered
    // side by side. The shares may use one wavetable: `table`, when given,
    // must be sharedTable() of a source made for the same record.
    ToneSource(const ToneSettings& tone, int part, int parts, std::shared_ptr<const int32_t[]> table = nullptr);

    void read(int32_t* samples, int frames) override;
    int position() override;
    int length() override;

    // For inspection: oscillator `tone` of channel 0 (left) or 1 (right).
    const Oscillator& oscillator(int channel, int tone) const {
        return channel == 0 ? left[tone] : right[tone];
    }
    const int32_t* table() const { return wavetable.get(); }
    // The wavetable, never written after construction.
    std::shared_ptr<const int32_t[]> sharedTable() const { return wavetable; }

private:
    void renderRun(int32_t* samples, int frames);
    void updateSweep(int64_t frameIndex);

    std::shared_ptr<const int32_t[]> wavetable;
    int32_t framesRendered = 0;
    int32_t totalFrames = 0;
    Oscillator left[kMaxTones];
    Oscillator right[kMaxTones];
    int32_t sweepCountdown = -1;
    bool logSweep = false;
    int32_t toneCount = 0;
    bool stereo = false;
    // The waveform has no table to read (impulse or unknown code).
    bool silentTable = false;
};

}  // namespace zelvaro
