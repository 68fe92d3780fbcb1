#include "signal/tone_source.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>

#include "base/wide_loops.h"
#include "signal/decibel_table.h"
#include "signal/frame_count.h"
#include "signal/gathered_oscillators.h"
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

// Adds the outputs of `N` oscillators to every `Stride`-th sample of `out`, or
// stores them there when `First`, which spares clearing the block.
// Each output sample is loaded and stored once per group rather than once per
// oscillator, which is where a one-at-a-time loop spends most of its time. The
// sums wrap around in 32 bits, as the mixed tones are added without clamping,
// so the order in which oscillators are added cannot change a sample.
template <int Stride, int N, bool Gained, bool First>
void addOscillators(Oscillator* const* oscs, const int32_t* table, uint32_t* out, int frames) {
    uint32_t phase[N];
    uint32_t increment[N];
    int32_t gain[N];
    for (int k = 0; k < N; ++k) {
        phase[k] = oscs[k]->phase;
        increment[k] = oscs[k]->increment;
        gain[k] = oscs[k]->gain;
    }
    for (int i = 0; i < frames; ++i) {
        uint32_t sum = 0;
        for (int k = 0; k < N; ++k) {
            phase[k] += increment[k];
            const int32_t v = table[phase[k] >> kWavetableShift];
            sum += static_cast<uint32_t>(Gained ? applyGain(v, gain[k]) : v);
        }
        if (First)
            out[i * Stride] = sum;
        else
            out[i * Stride] += sum;
    }
    for (int k = 0; k < N; ++k)
        oscs[k]->phase = phase[k];
}

// Adds `count` oscillators to every `Stride`-th sample of `out`; stores the
// first group's sum there instead when `first` is set. Returns whether it
// wrote anything.
template <int Stride, bool Gained>
bool addOscillatorGroups(Oscillator* const* oscs, int count, const int32_t* table, uint32_t* out, int frames,
                         bool first) {
    const bool wrote = count > 0;
    while (count > 0) {
        const int n = count >= 4 ? 4 : count >= 2 ? 2 : 1;
        if (n == 4)
            first ? addOscillators<Stride, 4, Gained, true>(oscs, table, out, frames)
                  : addOscillators<Stride, 4, Gained, false>(oscs, table, out, frames);
        else if (n == 2)
            first ? addOscillators<Stride, 2, Gained, true>(oscs, table, out, frames)
                  : addOscillators<Stride, 2, Gained, false>(oscs, table, out, frames);
        else
            first ? addOscillators<Stride, 1, Gained, true>(oscs, table, out, frames)
                  : addOscillators<Stride, 1, Gained, false>(oscs, table, out, frames);
        first = false;
        count -= n;
        oscs += n;
    }
    return wrote;
}

template <int Stride>
void addImpulse(Oscillator& osc, uint32_t* out, int frames) {
    uint32_t phase = osc.phase;
    const uint32_t increment = osc.increment;
    for (int i = 0; i < frames; ++i) {
        const uint32_t old = phase;
        phase += increment;
        out[i * Stride] += phase < old ? static_cast<uint32_t>(kImpulseHeight) : 0u;
    }
    osc.phase = phase;
}

// Writes the sum of a channel's table oscillators to every `Stride`-th sample
// of `out`, or zeros when it has none.
template <int Stride>
void addTableOscillators(const OscillatorPlan& plan, const int32_t* table, uint32_t* out, int frames) {
    bool written = addOscillatorGroups<Stride, false>(plan.unity, plan.unityCount, table, out, frames, true);
    written = addOscillatorGroups<Stride, true>(plan.gained, plan.gainedCount, table, out, frames, !written) || written;
    if (!written)
        for (int i = 0; i < frames; ++i)
            out[i * Stride] = 0;
}

// The same into consecutive samples, eight frames at a time where it can.
void addTableOscillatorsGathered(const OscillatorPlan& plan, const int32_t* table, uint32_t* out, int frames) {
    const int gathered = plan.unityCount + plan.gainedCount > 0 ? frames - frames % kGatherFrames : 0;
    if (gathered > 0) {
        addGatheredOscillators(plan.unity, plan.unityCount, false, table, out, gathered, true);
        addGatheredOscillators(plan.gained, plan.gainedCount, true, table, out, gathered, plan.unityCount == 0);
    }
    addTableOscillators<1>(plan, table, out + gathered, frames - gathered);
}

// Oscillators that are not heard keep their phase moving all the same.
void moveSilentOscillators(const OscillatorPlan& plan, int frames) {
    for (int k = 0; k < plan.silentCount; ++k)
        plan.silent[k]->phase += plan.silent[k]->increment * static_cast<uint32_t>(frames);
}

template <int Stride>
void addImpulses(const OscillatorPlan& plan, uint32_t* out, int frames) {
    for (int k = 0; k < plan.impulseCount; ++k)
        addImpulse<Stride>(*plan.impulses[k], out, frames);
}

// Writes one channel's oscillators to every `Stride`-th sample of `out`.
template <int Stride>
void renderChannel(const OscillatorPlan& plan, const int32_t* table, uint32_t* out, int frames) {
    moveSilentOscillators(plan, frames);
    addTableOscillators<Stride>(plan, table, out, frames);
    addImpulses<Stride>(plan, out, frames);
}

// Sorts a channel's oscillators by the work each needs, which stays the same
// for the whole tone: sorting them for every run cost as much as rendering a
// sweep's 32 frames.
void makePlan(Oscillator* oscs, int count, bool silentTable, OscillatorPlan& plan) {
    plan = OscillatorPlan();
    for (int k = 0; k < count; ++k) {
        Oscillator& osc = oscs[k];
        if (osc.impulse)
            plan.impulses[plan.impulseCount++] = &osc;
        else if (silentTable || osc.gain == 0)
            plan.silent[plan.silentCount++] = &osc;
        else if (osc.gain == kUnityGain)
            plan.unity[plan.unityCount++] = &osc;
        else
            plan.gained[plan.gainedCount++] = &osc;
    }
}

}  // namespace

ToneSource::ToneSource(const ToneSettings& tone) : ToneSource(tone, nullptr) {}

ToneSource::ToneSource(const ToneSettings& tone, std::shared_ptr<const int32_t[]> table)
    : SoundSource(44100, 2097152, tone.stereo() ? 2 : 1),
      totalFrames(tone.fixedDuration() ? durationFrames(tone.durationMs) : 0),
      logSweep(tone.logSweep()),
      toneCount(std::min<int32_t>(tone.toneCount, kMaxTones)),
      stereo(tone.stereo()) {
    if (table) {
        wavetable = std::move(table);
    } else {
        std::shared_ptr<int32_t[]> filled(new (std::nothrow) int32_t[kWavetableSize]);
        if (!filled) {
            markFailed();
            return;
        }
        fillWavetable(filled.get(), tone.waveform);
        wavetable = std::move(filled);
    }
    const bool impulse = tone.waveform == kWaveImpulse;
    const bool silentTable = tone.waveform > kWaveSawTooth;
    for (int k = 0; k < toneCount; ++k) {
        const int32_t gain = DecibelTable::amplitudeGain(tone.variableAmplitude() ? tone.relativeAmplitude[k] : 0);
        setUp(left[k], tone.startLeft[k], tone.endLeft[k], gain, impulse);
        if (stereo)
            setUp(right[k], tone.startRight[k], tone.endRight[k], gain, impulse);
    }
    makePlan(left, toneCount, silentTable, leftPlan);
    makePlan(right, stereo ? toneCount : 0, silentTable, rightPlan);
    sweepCountdown = tone.sweep() && totalFrames > 0 ? kSweepInterval : -1;
}

void ToneSource::read(int32_t* samples, int frames) {
    if (frames <= 0)
        return;
    if (!wavetable) {
        std::memset(samples, 0, sizeof(int32_t) * static_cast<size_t>(frames) * (stereo ? 2 : 1));
        return;
    }
    advance(samples, frames);
}

void ToneSource::skip(int frames) {
    if (frames > 0 && wavetable)
        advance(nullptr, frames);
}

void ToneSource::advance(int32_t* samples, int frames) {
    const int channelCount = stereo ? 2 : 1;
    // Runs end at every sweep update, so the loop order inside a run cannot
    // change which frames use which increment.
    for (int done = 0; done < frames;) {
        int run = std::min(frames - done, kRunFrames);
        if (sweepCountdown >= 0)
            run = std::min(run, static_cast<int>(sweepCountdown));
        if (samples)
            renderRun(samples + static_cast<size_t>(done) * channelCount, run);
        else
            skipRun(run);
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
    uint32_t* out = reinterpret_cast<uint32_t*>(samples);
    const int32_t* table = wavetable.get();
    if (useWideLoops()) {
        renderRunGathered(out, frames);
    } else if (stereo) {
        renderChannel<2>(leftPlan, table, out, frames);
        renderChannel<2>(rightPlan, table, out + 1, frames);
    } else {
        renderChannel<1>(leftPlan, table, out, frames);
    }
}

void ToneSource::renderRunGathered(uint32_t* out, int frames) {
    const int32_t* table = wavetable.get();
    moveSilentOscillators(leftPlan, frames);
    if (!stereo) {
        addTableOscillatorsGathered(leftPlan, table, out, frames);
        addImpulses<1>(leftPlan, out, frames);
        return;
    }
    // The gathered loads give eight frames of one channel at a time, so each
    // channel is summed into a block of its own and the two are interleaved.
    uint32_t leftSums[kRunFrames];
    uint32_t rightSums[kRunFrames];
    moveSilentOscillators(rightPlan, frames);
    addTableOscillatorsGathered(leftPlan, table, leftSums, frames);
    addTableOscillatorsGathered(rightPlan, table, rightSums, frames);
    interleaveGathered(leftSums, rightSums, out, frames);
    addImpulses<2>(leftPlan, out, frames);
    addImpulses<2>(rightPlan, out + 1, frames);
}

void ToneSource::skipRun(int frames) {
    // What rendering does to the phases: each oscillator that renders moves
    // by its increment per frame.
    for (int k = 0; k < toneCount; ++k) {
        left[k].phase += left[k].increment * static_cast<uint32_t>(frames);
        if (stereo)
            right[k].phase += right[k].increment * static_cast<uint32_t>(frames);
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
