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

// Which of a channel's oscillators need which work: those at unity gain,
// those with another gain, impulses, and those that only move on (gain 0, or
// a waveform without a table).
struct OscillatorPlan {
    Oscillator* unity[kMaxTones] = {};
    Oscillator* gained[kMaxTones] = {};
    Oscillator* impulses[kMaxTones] = {};
    Oscillator* silent[kMaxTones] = {};
    int unityCount = 0;
    int gainedCount = 0;
    int impulseCount = 0;
    int silentCount = 0;
};

class ToneSource : public SoundSource {
public:
    // Copies what it needs from the record. More than 16 tones are taken as 16.
    explicit ToneSource(const ToneSettings& tone);
    // A copy of a source made from the same record, for another thread: it
    // reads `table`, which must be sharedTable() of that source.
    ToneSource(const ToneSettings& tone, std::shared_ptr<const int32_t[]> table);

    void read(int32_t* samples, int frames) override;
    int position() override;
    int length() override;
    // Moves on as reading `frames` frames would, without rendering them: a
    // source that skips the frames other copies render delivers the same
    // samples for the frames it reads.
    void skip(int frames);

    // For inspection: oscillator `tone` of channel 0 (left) or 1 (right).
    const Oscillator& oscillator(int channel, int tone) const {
        return channel == 0 ? left[tone] : right[tone];
    }
    const int32_t* table() const { return wavetable.get(); }
    // The wavetable, never written after construction.
    std::shared_ptr<const int32_t[]> sharedTable() const { return wavetable; }

private:
    // Reads into `samples`, or skips when it is null.
    void advance(int32_t* samples, int frames);
    void renderRun(int32_t* samples, int frames);
    // renderRun with the table lookups eight frames at a time (AVX2).
    void renderRunGathered(uint32_t* out, int frames);
    void skipRun(int frames);
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
    // Made once the oscillators are set up; they point into left and right.
    OscillatorPlan leftPlan;
    OscillatorPlan rightPlan;
};

}  // namespace zelvaro
