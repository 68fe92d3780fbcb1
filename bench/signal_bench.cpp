// Read speed of the signal chain, as multiples of real time at 44,100 Hz (or
// the output rate of a converter).
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "signal/noise_source.h"
#include "signal/peak_limiter.h"
#include "signal/sample_rate_converter.h"
#include "signal/tone_source.h"

namespace zelvaro {
namespace {

ToneSettings record(int waveform, int count, uint16_t flags) {
    ToneSettings tone;
    std::memset(&tone, 0, sizeof tone);
    tone.flags = flags;
    tone.waveform = static_cast<uint8_t>(waveform);
    tone.toneCount = static_cast<uint8_t>(count);
    tone.durationMs = 3600000;
    for (int k = 0; k < kMaxTones; ++k) {
        // Unrelated frequencies, so that the oscillators read all over the table.
        tone.startLeft[k] = 110.0 * (k + 1) * 1.013;
        tone.endLeft[k] = 9000.0 - 300.0 * k;
        tone.startRight[k] = 97.0 * (k + 1) * 1.021;
        tone.endRight[k] = 8000.0 - 250.0 * k;
    }
    return tone;
}

void readLoop(benchmark::State& state, SoundSource& source, double realRate) {
    std::vector<int32_t> block(static_cast<size_t>(kMaxBlockFrames) * source.channels);
    for (auto _ : state) {
        source.read(block.data(), kMaxBlockFrames);
        benchmark::DoNotOptimize(block.data());
        benchmark::ClobberMemory();
    }
    const double frames = static_cast<double>(state.iterations()) * kMaxBlockFrames;
    state.counters["frames"] = benchmark::Counter(frames, benchmark::Counter::kIsRate);
    state.counters["x_realtime"] = benchmark::Counter(frames / realRate, benchmark::Counter::kIsRate);
}

void tones(benchmark::State& state, int count, uint16_t flags) {
    ToneSource source(record(kWaveSine, count, flags));
    readLoop(state, source, 44100.0);
}

void whiteNoise(benchmark::State& state) {
    WhiteNoiseSource source(0, 1);
    readLoop(state, source, 44100.0);
}

void pinkNoise(benchmark::State& state) {
    PinkNoiseSource source(0, 1);
    readLoop(state, source, 44100.0);
}

// 16 in-phase tones at 0 dB: four times full scale, so every block is limited.
void limiterEngaged(benchmark::State& state) {
    ToneSettings tone = record(kWaveSine, 16, kFlagStereo);
    for (int k = 0; k < kMaxTones; ++k)
        tone.startLeft[k] = tone.startRight[k] = 1000.0;
    PeakLimiter limiter(SoundSourceRef(new ToneSource(tone)), 524272);
    readLoop(state, limiter, 44100.0);
}

void converterStereo(benchmark::State& state) {
    SampleRateConverter converter(SoundSourceRef(new ToneSource(record(kWaveSine, 2, kFlagStereo))), 48000);
    readLoop(state, converter, 48000.0);
}

BENCHMARK_CAPTURE(tones, mono_1, 1, 0);
BENCHMARK_CAPTURE(tones, mono_16, 16, 0);
BENCHMARK_CAPTURE(tones, stereo_1, 1, kFlagStereo);
BENCHMARK_CAPTURE(tones, stereo_16, 16, kFlagStereo);
BENCHMARK_CAPTURE(tones, stereo_16_log_sweep, 16,
                  kFlagStereo | kFlagSweep | kFlagLogSweep | kFlagFixedDuration);
BENCHMARK(whiteNoise);
BENCHMARK(pinkNoise);
BENCHMARK(limiterEngaged);
BENCHMARK(converterStereo);

}  // namespace
}  // namespace zelvaro
