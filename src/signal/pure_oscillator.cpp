#include "signal/pure_oscillator.h"

#include <algorithm>
#include <cmath>

#include "base/pi.h"
#include "tone/tone_settings.h"

namespace zelvaro {

namespace {

constexpr long double kTwoPi = 2 * kPiExtended;

// The angle of a phase in (-pi, pi], in extended precision.
long double phaseAngle(uint64_t phase) {
    return static_cast<long double>(static_cast<int64_t>(phase)) * (kTwoPi / 18446744073709551616.0L);
}

// 1 up to nine tenths of the Nyquist frequency, then a raised cosine down to
// 0 at the Nyquist frequency.
double bandTaper(double frequencyHz, double nyquistHz) {
    const double f = std::fabs(frequencyHz);
    const double start = 0.9 * nyquistHz;
    if (f <= start) return 1.0;
    if (f >= nyquistHz) return 0.0;
    return 0.5 * (1.0 + std::cos(kPi * (f - start) / (nyquistHz - start)));
}

// cos and sin of a phase: the nearest quarter turn exactly, the rest (at
// most an eighth of a turn) by the library in extended precision, where it
// needs no costly argument reduction.
void phaseCosSin(uint64_t phase, double& c, double& s) {
    const uint64_t quarter = (phase + (uint64_t{1} << 61)) >> 62;
    const int64_t rest = static_cast<int64_t>(phase - (quarter << 62));
    const long double angle = static_cast<long double>(rest) * (kTwoPi / 18446744073709551616.0L);
    const double rc = static_cast<double>(std::cos(angle)), rs = static_cast<double>(std::sin(angle));
    switch (quarter & 3) {
        case 0: c = rc; s = rs; break;
        case 1: c = -rs; s = rc; break;
        case 2: c = -rc; s = -rs; break;
        default: c = rs; s = -rc; break;
    }
}

}  // namespace

uint64_t phaseIncrement(long double frequencyHz, int32_t sampleRate) {
    long double turns = frequencyHz / sampleRate;
    turns -= std::floor(turns);  // [0, 1): the same increment modulo one turn
    const long double scaled = std::nearbyint(turns * 18446744073709551616.0L);
    return scaled >= 18446744073709551616.0L ? 0 : static_cast<uint64_t>(scaled);
}

PureOscillator::PureOscillator(uint8_t waveform, double amplitude, double frequencyHz, int32_t sampleRate)
    : waveform_(waveform),
      amplitude_(amplitude),
      sampleRate_(sampleRate),
      increment_(phaseIncrement(frequencyHz, sampleRate)) {
    for (int n = 0; n < kBlockFrames; ++n) phaseCosSin(increment_ * static_cast<uint64_t>(n + 1), stepRe_[n], stepIm_[n]);
    setHarmonics(frequencyHz);
}

void PureOscillator::setHarmonics(double frequencyHz) {
    const double f = std::fabs(frequencyHz);
    const double nyquist = sampleRate_ / 2.0;
    int count = 0;
    if (f > 0 && f < nyquist) {
        count = waveform_ == kWaveSine ? 1 : static_cast<int>(std::min<double>(kMaxHarmonics, std::ceil(nyquist / f)));
    }
    sinGain_.assign(count, 0.0);
    cosGain_.assign(count, 0.0);
    dc_ = 0;
    const double a = amplitude_;
    for (int k = 1; k <= count; ++k) {
        // The fundamental is kept whole below the Nyquist frequency; the
        // harmonics fade out towards it.
        const double taper = k == 1 ? 1.0 : bandTaper(k * f, nyquist);
        if (taper == 0.0) continue;
        double s = 0, c = 0;
        switch (waveform_) {
            case kWaveSine: s = a; break;
            case kWaveSquare:
                if (k % 2 == 1) s = 4 * a / (kPi * k);
                break;
            case kWaveTriangular:
                if (k % 2 == 1) s = 8 * a / (kPi * kPi * k * k) * ((k / 2) % 2 == 0 ? 1 : -1);
                break;
            case kWaveSawTooth: s = 2 * a / (kPi * k) * (k % 2 == 1 ? 1 : -1); break;
            case kWaveImpulse: c = 2 * a * f / sampleRate_; break;
            default: break;
        }
        sinGain_[k - 1] = s * taper;
        cosGain_[k - 1] = c * taper;
    }
    // An impulse train's mean: one impulse of its height per period.
    if (waveform_ == kWaveImpulse && count > 0) dc_ = a * f / sampleRate_;
    // Trailing harmonics that were faded to nothing cost nothing.
    while (!sinGain_.empty() && sinGain_.back() == 0.0 && cosGain_.back() == 0.0) {
        sinGain_.pop_back();
        cosGain_.pop_back();
    }
}

void PureOscillator::addHarmonics(double* out, int frames, int stride) {
    const size_t count = sinGain_.size();
    if (count == 0 && dc_ == 0) return;
    double sum[kBlockFrames];
    for (int j = 0; j < frames; ++j) sum[j] = dc_;
    // Harmonic k from harmonic k - 1 by one more turn of the fundamental: a
    // product of unit complex numbers, so the error grows only with k.
    double hr[kBlockFrames], hi[kBlockFrames];
    for (int j = 0; j < frames; ++j) {
        hr[j] = re_[j];
        hi[j] = im_[j];
    }
    for (size_t k = 0; k < count; ++k) {
        if (k > 0) {
            for (int j = 0; j < frames; ++j) {
                const double r = hr[j] * re_[j] - hi[j] * im_[j];
                hi[j] = hr[j] * im_[j] + hi[j] * re_[j];
                hr[j] = r;
            }
        }
        const double s = sinGain_[k], c = cosGain_[k];
        if (c == 0.0) {
            for (int j = 0; j < frames; ++j) sum[j] += s * hi[j];
        } else {
            for (int j = 0; j < frames; ++j) sum[j] += s * hi[j] + c * hr[j];
        }
    }
    for (int j = 0; j < frames; ++j) out[static_cast<size_t>(j) * stride] += sum[j];
}

void PureOscillator::addConstant(double* out, int frames, int stride, int offset) {
    // The block's starting phase exactly, then each sample's by a rotation
    // computed once: the error stays near one rounding per sample.
    const uint64_t blockStart = phase_ - static_cast<uint64_t>(offset) * increment_;
    double r0, i0;
    phaseCosSin(blockStart, r0, i0);
    for (int j = 0; j < frames; ++j) {
        const int n = offset + j;
        re_[j] = r0 * stepRe_[n] - i0 * stepIm_[n];
        im_[j] = r0 * stepIm_[n] + i0 * stepRe_[n];
    }
    phase_ += static_cast<uint64_t>(frames) * increment_;
    addHarmonics(out, frames, stride);
}

void PureOscillator::addSwept(double* out, int frames, int stride, const double* frequencyHz, double blockHz) {
    for (int j = 0; j < frames; ++j) {
        phase_ += phaseIncrement(frequencyHz[j], sampleRate_);
        const double angle = static_cast<double>(phaseAngle(phase_));
        re_[j] = std::cos(angle);
        im_[j] = std::sin(angle);
    }
    setHarmonics(blockHz);
    addHarmonics(out, frames, stride);
}

}  // namespace zelvaro
