#include "signal/tone_source.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>

#include "signal/decibel_table.h"
#include "signal/frame_count.h"
#include "signal/wavetable.h"

namespace zelvaro {

namespace {

// Rendering runs at most this many frames at a time so that the output block
// being summed into stays in the first-level cache.
constexpr int kRunFrames = 1024;

// 1 / (e - 1): maps e^t - 1 onto 0..1 for t in 0..1.
constexpr double kLogSweepScale = 0.5819767068693265;

void setUp(Oscillator& osc, double startHz, double endHz, int32_t gain, bool impulse) {
    osc.impulse = impulse;
    osc.startIncrement = phaseIncrement(startHz);
    osc.increment = osc.startIncrement;
    osc.incrementSpan = endHz * kIncrementPerHz - static_cast<double>(osc.startIncrement);
    osc.phase = 0;
    osc.gain = gain;
}

// Adds one oscillator's output to every `Stride`-th sample of `out`. The sums
// wrap around in 32 bits, as the mixed tones are added without clamping.
template <int Stride>
void addOscillator(Oscillator& osc, const int32_t* table, bool silentTable, uint32_t* out, int frames) {
    uint32_t phase = osc.phase;
    const uint32_t increment = osc.increment;
    if (osc.impulse) {
        for (int i = 0; i < frames; ++i) {
            const uint32_t old = phase;
            phase += increment;
            out[i * Stride] += phase < old ? static_cast<uint32_t>(kImpulseHeight) : 0u;
        }
    } else if (silentTable || osc.gain == 0) {
        phase += increment * static_cast<uint32_t>(frames);
    } else if (osc.gain == kUnityGain) {
        for (int i = 0; i < frames; ++i) {
            phase += increment;
            out[i * Stride] += static_cast<uint32_t>(table[phase >> kWavetableShift]);
        }
    } else {
        const int32_t gain = osc.gain;
        for (int i = 0; i < frames; ++i) {
            phase += increment;
            out[i * Stride] += static_cast<uint32_t>(applyGain(table[phase >> kWavetableShift], gain));
        }
    }
    osc.phase = phase;
}

}  // namespace

ToneSource::ToneSource(const ToneSettings& tone)
    : SoundSource(44100, 2097152, tone.stereo() ? 2 : 1),
      totalFrames(tone.fixedDuration() ? durationFrames(tone.durationMs) : 0),
      logSweep(tone.logSweep()),
      toneCount(std::min<int32_t>(tone.toneCount, kMaxTones)),
      stereo(tone.stereo()) {
    wavetable.reset(new (std::nothrow) int32_t[kWavetableSize]);
    if (!wavetable) {
        markFailed();
        return;
    }
    fillWavetable(wavetable.get(), tone.waveform);
    const bool impulse = tone.waveform == kWaveImpulse;
    silentTable = tone.waveform > kWaveSawTooth;
    for (int k = 0; k < toneCount; ++k) {
        const int32_t gain = DecibelTable::amplitudeGain(tone.variableAmplitude() ? tone.relativeAmplitude[k] : 0);
        setUp(left[k], tone.startLeft[k], tone.endLeft[k], gain, impulse);
        if (stereo)
            setUp(right[k], tone.startRight[k], tone.endRight[k], gain, impulse);
    }
    sweepCountdown = tone.sweep() && totalFrames > 0 ? kSweepInterval : -1;
}

void ToneSource::read(int32_t* samples, int frames) {
    if (frames <= 0)
        return;
    const int channelCount = stereo ? 2 : 1;
    if (!wavetable) {
        std::memset(samples, 0, sizeof(int32_t) * static_cast<size_t>(frames) * channelCount);
        return;
    }
    // Runs end at every sweep update, so the loop order inside a run cannot
    // change which frames use which increment.
    for (int done = 0; done < frames;) {
        int run = std::min(frames - done, kRunFrames);
        if (sweepCountdown >= 0)
            run = std::min(run, static_cast<int>(sweepCountdown));
        renderRun(samples + static_cast<size_t>(done) * channelCount, run);
        done += run;
        if (sweepCountdown >= 0) {
            sweepCountdown -= run;
            if (sweepCountdown == 0) {
                updateSweep(static_cast<int64_t>(framesRendered) + done - 1);
                sweepCountdown = kSweepInterval;
            }
        }
    }
    if (totalFrames > 0)
        framesRendered = advanceFrames(framesRendered, frames);
}

void ToneSource::renderRun(int32_t* samples, int frames) {
    const int channelCount = stereo ? 2 : 1;
    std::memset(samples, 0, sizeof(int32_t) * static_cast<size_t>(frames) * channelCount);
    uint32_t* out = reinterpret_cast<uint32_t*>(samples);
    const int32_t* table = wavetable.get();
    if (!stereo) {
        for (int k = 0; k < toneCount; ++k)
            addOscillator<1>(left[k], table, silentTable, out, frames);
        return;
    }
    for (int k = 0; k < toneCount; ++k) {
        addOscillator<2>(left[k], table, silentTable, out, frames);
        addOscillator<2>(right[k], table, silentTable, out + 1, frames);
    }
}

void ToneSource::updateSweep(int64_t frameIndex) {
    double t = static_cast<double>(frameIndex) / static_cast<double>(totalFrames);
    if (logSweep)
        t = (std::exp(t) - 1.0) * kLogSweepScale;
    for (int k = 0; k < toneCount; ++k) {
        left[k].increment = wrapToUint32(t * left[k].incrementSpan) + left[k].startIncrement;
        if (stereo)
            right[k].increment = wrapToUint32(t * right[k].incrementSpan) + right[k].startIncrement;
    }
}

int ToneSource::position() {
    return framesRendered;
}

int ToneSource::length() {
    return generatorLength(totalFrames, sampleRate);
}

}  // namespace zelvaro
