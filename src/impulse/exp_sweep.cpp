#include "impulse/exp_sweep.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdio>

#include "base/pi.h"
#include "fft/fft.h"

namespace zelvaro {

namespace {

// The whole cycles of `from` over the sweep's rate constant: at least one.
double wholeCycles(const SweepRequest& r) {
    return std::max(1.0, std::round(r.fromHz * r.seconds / std::log(r.toHz / r.fromHz)));
}

std::string figure(const char* format, double a, double b = 0.0, double c = 0.0) {
    char text[200];
    std::snprintf(text, sizeof text, format, a, b, c);
    return text;
}

}  // namespace

double sweepLengthSeconds(const SweepRequest& r) {
    return wholeCycles(r) / r.fromHz * std::log(r.toHz / r.fromHz);
}

SweepRequestCheck checkSweepRequest(const SweepRequest& r) {
    std::string reason;
    const FlatBand flat = r.flatBand();
    if (!(r.rateHz >= kMinSweepRateHz && r.rateHz <= kMaxSweepRateHz))
        reason = figure("the rate must be %.0f to %.0f Hz", kMinSweepRateHz, kMaxSweepRateHz);
    else if (!(r.fromHz > 0.0 && r.fromHz < r.toHz))
        reason = "the sweep must go up from a frequency above 0 Hz";
    else if (!(r.toHz < r.rateHz / 2.0))
        reason = "the sweep must end below half the rate";
    else if (flat.empty())
        reason = figure("the band has no flat part: sqrt(2)*from (%g Hz) must be below to/2^(1/6) (%g Hz)",
                        flat.lowHz, flat.highHz);
    else if (!(r.seconds >= kMinSweepSeconds && r.seconds <= kMaxSweepSeconds))
        reason = figure("the sweep must last %g to %g seconds", kMinSweepSeconds, kMaxSweepSeconds);
    else if (!(r.peakDbfs <= 0.0 && r.peakDbfs >= kMinSweepPeakDbfs))
        reason = figure("the peak must be %g to 0 dBFS", kMinSweepPeakDbfs);
    else if (!(r.fadeMs >= 0.0 && r.fadeMs <= kMaxSweepFadeMs))
        reason = figure("the fade must be 0 to %g ms", kMaxSweepFadeMs);
    // The rounding to whole cycles may take a request at the limit a little
    // past it, never by more than the length's reported tolerance.
    else if (const double length = sweepLengthSeconds(r);
             !(length <= kMaxSweepSeconds * (1.0 + kSweepLengthWarningFraction)))
        reason = figure("a whole number of cycles of %g Hz makes the sweep %.0f s long; the limit is %g s", r.fromHz,
                        length, kMaxSweepSeconds);
    else if (const double frames = std::floor(length * r.rateHz) + 1; frames > static_cast<double>(kMaxSweepFrames))
        reason = figure("the sweep would take %.0f frames; the limit is %.0f (%.0f s at this rate)", frames,
                        static_cast<double>(kMaxSweepFrames), static_cast<double>(kMaxSweepFrames) / r.rateHz);
    return {reason};
}

ExpSweep::ExpSweep(const SweepRequest& r) : request(r) {
    // L·from a whole number of cycles, so that every harmonic's sweep lines
    // up with the fundamental's phase.
    rateConstant = wholeCycles(r) / r.fromHz;
    amplitudeLinear = std::pow(10.0, r.peakDbfs / 20.0);
    frameCount = static_cast<int64_t>(std::floor(lengthSeconds() * r.rateHz)) + 1;
    const double requested = r.fadeMs / 1000.0;
    fadeIn = std::min(requested, rateConstant * std::log(kFlatLowRatio));
    // ln 2 / 6 is ln kFlatHighRatio, taken exactly.
    fadeOut = std::min(requested, rateConstant * std::log(2.0) / 6.0);
}

double ExpSweep::lengthSeconds() const {
    return rateConstant * std::log(request.toHz / request.fromHz);
}

bool ExpSweep::lengthDiffersFromRequest() const {
    return std::fabs(lengthSeconds() - request.seconds) > kSweepLengthWarningFraction * request.seconds;
}

double ExpSweep::instantaneousFrequencyHz(double seconds) const {
    return request.fromHz * std::exp(seconds / rateConstant);
}

double ExpSweep::harmonicOffsetSeconds(int order) const {
    return rateConstant * std::log(static_cast<double>(order));
}

double ExpSweep::envelope(double t) const {
    double gain = amplitudeLinear;
    if (fadeIn > 0.0 && t < fadeIn)
        gain *= 0.5 * (1.0 - std::cos(kPi * t / fadeIn));
    const double left = lengthSeconds() - t;
    if (fadeOut > 0.0 && left < fadeOut)
        gain *= 0.5 * (1.0 - std::cos(kPi * std::max(0.0, left) / fadeOut));
    return gain;
}

std::vector<double> ExpSweep::samples() const {
    std::vector<double> out(static_cast<size_t>(frameCount));
    const double cycles = request.fromHz * rateConstant;
    for (int64_t n = 0; n < frameCount; ++n) {
        const double t = static_cast<double>(n) / request.rateHz;
        // expm1 keeps the phase exact near the start: sample 0 is sin(0) = 0.
        const double phase = 2.0 * kPi * cycles * std::expm1(t / rateConstant);
        out[static_cast<size_t>(n)] = envelope(t) * std::sin(phase);
    }
    return out;
}

double ExpSweep::passGain(double hz) const {
    // 1 over the band that is promised flat, falling to 0 along half a
    // cosine (over log frequency) to `from` and `to`: the sweep has energy
    // wherever the band asks for any, and a smooth edge keeps the impulse's
    // ringing short.
    const double low = flatBand().lowHz;
    const double high = flatBand().highHz;
    if (hz <= request.fromHz || hz >= request.toHz)
        return 0.0;
    if (hz < low)
        return 0.5 - 0.5 * std::cos(kPi * std::log(hz / request.fromHz) / std::log(low / request.fromHz));
    if (hz > high)
        return 0.5 + 0.5 * std::cos(kPi * std::log(hz / high) / std::log(request.toHz / high));
    return 1.0;
}

std::vector<double> ExpSweep::inverse() const {
    // The sweep's own spectrum divided into the pass band, rather than the
    // stationary-phase approximation of it (the reversed sweep weighted by
    // e^(−t/L)): that one ripples by a dB or more at the low end of short
    // sweeps, where the sweep runs through only a few cycles an octave.
    // Where the sweep has next to no energy, the division is held back.
    const std::vector<double> x = samples();
    const size_t frames = x.size();
    const size_t tail = static_cast<size_t>(request.rateHz / 20);  // the band edges' ringing, 50 ms
    const size_t size = fastFftSize(2 * frames + 2 * tail);
    std::vector<std::complex<double>> bins = realSpectrum(x, size);
    double strongest = 0.0;
    for (const std::complex<double>& b : bins)
        strongest = std::max(strongest, std::norm(b));
    const double floor = strongest * 1e-8;
    for (size_t k = 0; k < bins.size(); ++k) {
        const double hz = static_cast<double>(k) * request.rateHz / static_cast<double>(size);
        bins[k] = passGain(hz) * std::conj(bins[k]) / (std::norm(bins[k]) + floor);
    }
    const std::vector<double> filter = inverseRealSpectrum(bins, size);
    // The filter's time zero moved to frame frames − 1: the reversed sweep
    // lies before it, the edges' ringing on both sides.
    std::vector<double> out(frames + tail);
    for (size_t m = 0; m < out.size(); ++m)
        out[m] = filter[(m + size - (frames - 1)) % size];
    return out;
}

}  // namespace zelvaro
