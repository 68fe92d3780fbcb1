// A tone record rendered on the pure path: the same tones, amplitudes,
// durations and sweep laws as ToneSource, synthesised in double precision
// at the output rate itself, so that no rate conversion is needed.
#pragma once

#include <cstdint>
#include <vector>

#include "signal/pure_oscillator.h"
#include "signal/pure_source.h"
#include "tone/tone_settings.h"

namespace zelvaro {

// Peaks of the program's wavetables at full scale 1.0 (table value / 524,288):
// every tone keeps its level on the pure path.
constexpr double kPureSineAmplitude = 131070.8844 / kChainFullScale;
constexpr double kPureSquareAmplitude = 92682.0 / kChainFullScale;
constexpr double kPureRampAmplitude = 165794.0 / kChainFullScale;  // triangle and saw tooth
constexpr double kPureImpulseHeight = 185364.0 / kChainFullScale;

class PureToneSource final : public PureSource {
public:
    // `channels` 1 takes the left tones of a stereo record (as the channel
    // converter does); 2 duplicates a mono record.
    PureToneSource(const ToneSettings& tone, int32_t sampleRate, uint8_t channels);

    void read(double* out, int frames) override;

    // Moves every oscillator on by `frames` frames (constant tones only).
    void skip(uint64_t frames);

private:
    // Frames up to the end of the current block of PureOscillator::kBlockFrames.
    void renderBlock(double* out, int frames);
    double lawShare(int64_t frame) const;

    std::vector<PureOscillator> left_, right_;
    std::vector<double> startLeft_, endLeft_, startRight_, endRight_;
    bool stereoTones_;
    bool sweep_;
    bool logSweep_;
    double sweepFrames_;
    int64_t framesRendered_ = 0;
};

}  // namespace zelvaro
