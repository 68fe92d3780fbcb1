#include "signal/sample_rate_converter.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>
#include <new>
#include <vector>

#include "base/pi.h"
#include "signal/block_level.h"

namespace zelvaro {

namespace {

int32_t clampToInt32(int64_t v) {
    return static_cast<int32_t>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX));
}

// The modified Bessel function I0 from the first seven terms of its series.
long double besselI0(long double x) {
    const long double t = x * x;
    long double term = t / 4;
    long double sum = 1 + term;
    for (long double divisor : {16.0L, 36.0L, 64.0L, 100.0L, 144.0L}) {
        term *= t / divisor;
        sum += term;
    }
    return sum;
}

}  // namespace

bool findRateFraction(int32_t upstreamRate, int32_t targetRate, RateFraction* fraction) {
    if (upstreamRate < 1 || targetRate < 1)
        return false;
    const long double d = static_cast<long double>(upstreamRate) / targetRate;
    long double best = d;
    int32_t phases = 1;
    for (int i = 1; i <= 255; ++i) {
        const long double n = std::fmod(std::trunc(d * i + 0.5L), 65536.0L);
        const long double e = std::fabs(d - n / i);
        if (e < best) {
            phases = i;
            if (e < 0.001L)
                break;
            best = e;
        }
    }
    const long double step = std::trunc(d * phases + 0.5L);
    // A step of 0 (upsampling beyond 510:1) would never advance the input.
    if (step < 1 || step > kMaxInputStep)
        return false;
    fraction->phaseCount = phases;
    fraction->inputStep = static_cast<int32_t>(step);
    return true;
}

void designConverterFilter(int32_t upstreamRate, int32_t targetRate, int32_t phaseCount, int32_t* taps) {
    long double fc;
    long double beta;
    if (upstreamRate < targetRate) {
        fc = 1.0L - 1.6L / kFilterTaps;
        beta = 2.12L;
    } else {
        const long double ratio = static_cast<long double>(targetRate) / upstreamRate;
        // The transition band takes the cutoff to zero at a ratio of 3/63
        // (21:1), where the centre tap is 0/0, and below zero beyond it (an
        // inverted filter). Already at a cutoff of 1/63 the sinc's first zero
        // lies 63 taps out, twice the window's reach, so the taps are little
        // more than the window; a lower cutoff would only scale them down,
        // the gain falling with it. The cutoff is therefore held at 1/63: the
        // formula applies down to a ratio of 4/63 (15.75:1), and past that
        // the filter keeps the window's shape.
        fc = std::max(ratio - 3.0L / kFilterTaps, 1.0L / kFilterTaps);
        beta = 4.538L;
    }
    // A passband narrower than the transition band (a cutoff below 3/63, from
    // 10.5:1 on) puts part of the sinc's main lobe outside the window, and
    // the sum of a row, its gain at low frequencies, falls with it: to
    // -0.14 dB at 11:1 and about half from 15.75:1 on. Such a filter is scaled
    // so that its rows sum to one on average (one factor for all, which keeps
    // the rows mirror images of each other); wider passbands stay within
    // 0.06 dB of one as designed.
    const bool normalise = upstreamRate > targetRate && fc < 3.0L / kFilterTaps;
    const long double scale = fc * 65536 / besselI0(beta);
    std::vector<long double> values(static_cast<size_t>(phaseCount) * kFilterTaps);
    long double sum = 0;
    for (int j = 0; j < phaseCount; ++j) {
        for (int k = 0; k < kFilterTaps; ++k) {
            const long double x = static_cast<long double>(k - kFilterHalf) - static_cast<long double>(j) / phaseCount;
            long double v = fc * 65536;
            if (x != 0) {
                const long double a = kPiExtended * fc * x;
                const long double window = besselI0(beta * std::sqrt(1 - x * x / 1024));
                v = std::sin(a) / a * scale * window;
            }
            values[static_cast<size_t>(j) * kFilterTaps + k] = v;
            sum += v;
        }
    }
    const long double gain = normalise ? 65536 * static_cast<long double>(phaseCount) / sum : 1;
    for (size_t i = 0; i < values.size(); ++i) {
        const long double v = values[i] * gain;
        taps[i] = static_cast<int32_t>(std::trunc(v < 0 ? v - 0.5L : v + 0.5L));
    }
}

SampleRateConverter::SampleRateConverter(const SoundSourceRef& source, int32_t targetRate) : SoundFilter(source) {
    const int32_t upstreamRate = sampleRate;
    if (targetRate < 1) {
        sampleRate = 44100;
        markFailed();
    } else {
        sampleRate = targetRate;
    }
    // Room for the filter's overshoot.
    if (peakLevel <= 1048576)
        peakLevel = clampToInt32(2 * static_cast<int64_t>(peakLevel));
    if (failed())
        return;
    RateFraction fraction;
    if (!findRateFraction(upstreamRate, sampleRate, &fraction)) {
        markFailed();
        return;
    }
    phaseCount = fraction.phaseCount;
    inputStep = fraction.inputStep;
    taps.reset(new (std::nothrow) int32_t[static_cast<size_t>(phaseCount) * kFilterTaps]);
    buffer.reset(new (std::nothrow) int32_t[static_cast<size_t>(kConverterBufferFrames) * channels]);
    scratch.reset(new (std::nothrow) int32_t[static_cast<size_t>(kConverterBlock) * channels]);
    if (!taps || !buffer || !scratch) {
        buffer.reset();
        markFailed();
        return;
    }
    designConverterFilter(upstreamRate, sampleRate, phaseCount, taps.get());

    // The first output frame is centred on the first upstream frame, with 31
    // frames of silence before it.
    bufferPos = kConverterBlock;
    phaseAccumulator = 0;
    clearFrames(kConverterBlock, kFilterHalf);
    pullFrames(kConverterBlock + kFilterHalf, kFilterTaps - kFilterHalf);
    normShift = 0;
    refill();
}

void SampleRateConverter::clearFrames(int first, int frames) {
    for (int c = 0; c < channels; ++c)
        std::memset(channelBuffer(c) + first, 0, sizeof(int32_t) * static_cast<size_t>(frames));
}

void SampleRateConverter::pullFrames(int first, int frames) {
    pull(scratch.get(), frames);
    const int channelCount = channels;
    for (int c = 0; c < channelCount; ++c) {
        int32_t* to = channelBuffer(c) + first;
        const int32_t* from = scratch.get() + c;
        for (int j = 0; j < frames; ++j)
            to[j] = from[static_cast<size_t>(j) * channelCount];
    }
}

void SampleRateConverter::refill() {
    // Keep the last 63 frames at their real level again.
    for (int c = 0; c < channels; ++c) {
        int32_t* samples = channelBuffer(c);
        for (int k = 0; k < kFilterTaps; ++k)
            samples[k] = clampToInt32(static_cast<int64_t>(samples[kConverterBlock + k]) * (int64_t{1} << normShift));
    }
    pullFrames(kFilterTaps, kConverterBlock);

    // Block floating point: shift the whole buffer so that its peak fits 15
    // bits, which keeps every sample-by-tap product within 32 bits.
    const int count = kConverterBufferFrames * channels;
    const int32_t peak = blockPeak(buffer.get(), count);
    int shift = 0;
    while ((peak >> shift) > 32767)
        ++shift;
    if (shift > 0) {
        const int64_t half = (int64_t{1} << shift) >> 1;
        int32_t* samples = buffer.get();
        for (int i = 0; i < count; ++i)
            samples[i] = static_cast<int32_t>((samples[i] + half) >> shift);
    }
    normShift = static_cast<uint8_t>(shift);
    outShift = 15 - shift;
    outRound = outShift > 0 ? (1 << outShift) >> 1 : 0;
    bufferPos -= kConverterBlock;
}

int32_t SampleRateConverter::convolve(const int32_t* row, const int32_t* x) const {
    // Two half sums, each halved before they are added. Summed in 64 bits:
    // the same result wherever 32-bit sums would not wrap, and no wrap for
    // a full-scale input whose signs follow the taps'.
    int64_t low = 0;
    for (int k = 0; k < 32; ++k)
        low += static_cast<int64_t>(row[k]) * x[k];
    int64_t high = 0;
    for (int k = 32; k < kFilterTaps; ++k)
        high += static_cast<int64_t>(row[k]) * x[k];
    const int64_t sum = (low >> 1) + (high >> 1) + outRound;
    // A buffer peak of 2^30 or more leaves no bits to shift back: scale up.
    return clampToInt32(outShift >= 0 ? sum >> outShift : sum * (int64_t{1} << -outShift));
}

void SampleRateConverter::read(int32_t* samples, int frames) {
    if (frames <= 0)
        return;
    const int channelCount = channels;
    if (!buffer) {
        std::memset(samples, 0, sizeof(int32_t) * static_cast<size_t>(frames) * channelCount);
        return;
    }
    for (int i = 0; i < frames; ++i) {
        bufferPos += phaseAccumulator / phaseCount;
        phaseAccumulator %= phaseCount;
        while (bufferPos >= kConverterBlock)
            refill();
        const int32_t* row = filterRow(phaseAccumulator);
        for (int c = 0; c < channelCount; ++c)
            samples[static_cast<size_t>(i) * channelCount + c] = convolve(row, channelBuffer(c) + bufferPos);
        phaseAccumulator += inputStep;
    }
    framesDelivered += frames;
}

void SampleRateConverter::seek(int frame) {
    if (!buffer)
        return;
    const int64_t t = std::max(frame, 0);
    const int64_t L = phaseCount;
    const int64_t M = inputStep;
    const int64_t q = (t / L) * M + ((t % L) * M) / L;
    phaseAccumulator = static_cast<int32_t>(((t % L) * M) % L);
    bufferPos = kConverterBlock;
    const int64_t first = q - kFilterHalf;
    if (first >= 0) {
        upstream->seek(clampToInt32(first));
        pullFrames(kConverterBlock, kFilterTaps);
    } else {
        const int silent = static_cast<int>(-first);
        upstream->seek(0);
        clearFrames(kConverterBlock, silent);
        pullFrames(kConverterBlock + silent, kFilterTaps - silent);
    }
    normShift = 0;
    refill();
    framesDelivered = t;
}

int SampleRateConverter::position() {
    return clampToInt32(framesDelivered);
}

int SampleRateConverter::length() {
    if (!upstream || failed())
        return 0;
    const int64_t u = upstream->length();
    const int64_t L = phaseCount;
    const int64_t M = inputStep;
    return clampToInt32((u / M) * L + ((u % M) * L) / M);
}

SoundSourceRef SampleRateAdapter::apply(const SoundSourceRef& input) const {
    if (!input.usable() || input->sampleRate == sampleRate)
        return input;
    return SoundSourceRef(new (std::nothrow) SampleRateConverter(input, sampleRate));
}

}  // namespace zelvaro
