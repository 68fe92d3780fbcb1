// One band-limited oscillator of the pure path: a 64-bit phase accumulator
// (one turn is 2^64, so a frequency is exact to about 1e-14 Hz at 44.1 kHz
// and the phase never drifts), sines from the library's sin and cos rather
// than a table, and the other waveforms as sums of their harmonics below the
// Nyquist frequency, faded out over the top tenth of the band so that a
// sweep moves smoothly from one harmonic count to the next.
#pragma once

#include <cstdint>
#include <vector>

namespace zelvaro {

// The phase increment of `frequencyHz` at `sampleRate`, in 2^-64 turns,
// rounded to the nearest; negative frequencies run the phase backwards.
uint64_t phaseIncrement(long double frequencyHz, int32_t sampleRate);

class PureOscillator {
public:
    // Frames rendered per call of the inner loops.
    static constexpr int kBlockFrames = 256;
    // Harmonics kept at most, so that a very low tone stays affordable.
    static constexpr int kMaxHarmonics = 2048;

    // `waveform` is a tone record's code (sine, square, triangular, saw tooth
    // or impulse; anything else is silent). `amplitude` is the peak of the
    // unlimited waveform (for an impulse its height), at full scale 1.0.
    PureOscillator(uint8_t waveform, double amplitude, double frequencyHz, int32_t sampleRate);

    // Adds `frames` samples to out[0], out[stride], ... at the constant
    // frequency. As in the program's generator, the phase moves before each
    // sample: the first sample is at one increment. Samples are computed in
    // blocks of kBlockFrames counted from the start, so that the caller's
    // block sizes do not change them: `offset` is the first sample's place
    // in its block, and offset + frames is at most kBlockFrames.
    void addConstant(double* out, int frames, int stride, int offset);
    // The same with a frequency of its own for every sample (a sweep);
    // `blockHz` is the frequency in the middle of the block, which sets the
    // harmonics for the whole block.
    void addSwept(double* out, int frames, int stride, const double* frequencyHz, double blockHz);

    // Moves the phase on by `frames` samples at the constant frequency.
    void skip(uint64_t frames) { phase_ += frames * increment_; }

    uint64_t phase() const { return phase_; }
    uint64_t increment() const { return increment_; }

private:
    // Sets the gain of every harmonic for a fundamental of `frequencyHz`.
    void setHarmonics(double frequencyHz);
    // Adds the harmonics of the fundamental held in re_/im_ to `out`.
    void addHarmonics(double* out, int frames, int stride);

    uint8_t waveform_;
    double amplitude_;
    int32_t sampleRate_;
    uint64_t phase_ = 0;
    uint64_t increment_;
    double dc_ = 0;
    std::vector<double> sinGain_;  // index k - 1 for harmonic k
    std::vector<double> cosGain_;
    // e^(i 2 pi n increment / 2^64) for n = 1 to kBlockFrames.
    double stepRe_[kBlockFrames], stepIm_[kBlockFrames];
    double re_[kBlockFrames], im_[kBlockFrames];
};

}  // namespace zelvaro
