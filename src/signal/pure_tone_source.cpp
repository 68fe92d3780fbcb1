#include "signal/pure_tone_source.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "signal/frame_count.h"

namespace zelvaro {

namespace {

double waveformAmplitude(uint8_t waveform) {
    switch (waveform) {
        case kWaveSine: return kPureSineAmplitude;
        case kWaveSquare: return kPureSquareAmplitude;
        case kWaveTriangular:
        case kWaveSawTooth: return kPureRampAmplitude;
        case kWaveImpulse: return kPureImpulseHeight;
        default: return 0.0;
    }
}

}  // namespace

PureToneSource::PureToneSource(const ToneSettings& tone, int32_t sampleRate, uint8_t channels)
    : PureSource(sampleRate, channels, tone.fixedDuration() ? framesOfDuration(tone.durationMs, sampleRate) : 0),
      stereoTones_(tone.stereo() && channels == 2),
      sweep_(tone.sweep() && tone.fixedDuration() && tone.durationMs > 0),
      logSweep_(tone.logSweep()),
      sweepFrames_(tone.durationMs / 1000.0 * sampleRate) {
    const int count = std::clamp<int>(tone.toneCount, 0, kMaxTones);
    const double base = waveformAmplitude(tone.waveform);
    for (int k = 0; k < count; ++k) {
        // As in the program, an impulse keeps its height whatever the tone's
        // relative amplitude; -127 dB and below is silence.
        double amplitude = base;
        if (tone.variableAmplitude() && tone.waveform != kWaveImpulse) {
            const int db = tone.relativeAmplitude[k];
            amplitude = db <= -127 ? 0.0 : base * std::pow(10.0, db / 20.0);
        }
        left_.emplace_back(tone.waveform, amplitude, tone.startLeft[k], sampleRate);
        startLeft_.push_back(tone.startLeft[k]);
        endLeft_.push_back(tone.endLeft[k]);
        if (stereoTones_) {
            right_.emplace_back(tone.waveform, amplitude, tone.startRight[k], sampleRate);
            startRight_.push_back(tone.startRight[k]);
            endRight_.push_back(tone.endRight[k]);
        }
    }
}

void PureToneSource::skip(uint64_t frames) {
    for (PureOscillator& o : left_) o.skip(frames);
    for (PureOscillator& o : right_) o.skip(frames);
    framesRendered_ += static_cast<int64_t>(frames);
}

double PureToneSource::lawShare(int64_t frame) const {
    // The elapsed fraction t of the duration, and the law's share of the way
    // from the start to the end frequency: t, or (e^t - 1) / (e - 1).
    const double t = static_cast<double>(frame) / sweepFrames_;
    return logSweep_ ? std::expm1(t) / std::expm1(1.0) : t;
}

void PureToneSource::renderBlock(double* out, int frames) {
    const int outChannels = channels;
    const int offset = static_cast<int>(framesRendered_ % PureOscillator::kBlockFrames);
    std::fill(out, out + static_cast<size_t>(frames) * outChannels, 0.0);
    if (!sweep_) {
        for (PureOscillator& o : left_) o.addConstant(out, frames, outChannels, offset);
        for (PureOscillator& o : right_) o.addConstant(out + 1, frames, outChannels, offset);
    } else {
        double share[PureOscillator::kBlockFrames];
        for (int j = 0; j < frames; ++j) share[j] = lawShare(framesRendered_ + j);
        const double middle = lawShare(framesRendered_ - offset + PureOscillator::kBlockFrames / 2);
        double frequency[PureOscillator::kBlockFrames];
        auto sweepAll = [&](std::vector<PureOscillator>& oscillators, const std::vector<double>& start,
                            const std::vector<double>& end, double* target) {
            for (size_t k = 0; k < oscillators.size(); ++k) {
                for (int j = 0; j < frames; ++j) frequency[j] = start[k] + (end[k] - start[k]) * share[j];
                oscillators[k].addSwept(target, frames, outChannels, frequency,
                                        start[k] + (end[k] - start[k]) * middle);
            }
        };
        sweepAll(left_, startLeft_, endLeft_, out);
        sweepAll(right_, startRight_, endRight_, out + 1);
    }
    if (outChannels == 2 && !stereoTones_) {
        for (int j = 0; j < frames; ++j) out[2 * j + 1] = out[2 * j];
    }
    framesRendered_ += frames;
}

void PureToneSource::read(double* out, int frames) {
    for (int done = 0; done < frames;) {
        const int inBlock = static_cast<int>(framesRendered_ % PureOscillator::kBlockFrames);
        const int n = std::min(PureOscillator::kBlockFrames - inBlock, frames - done);
        renderBlock(out + static_cast<size_t>(done) * channels, n);
        done += n;
    }
}

}  // namespace zelvaro
