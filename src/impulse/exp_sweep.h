// The exponential sine sweep that impulse responses are measured with, and
// its inverse filter. The sweep is synchronised: its rate constant is chosen
// so that every harmonic of the swept tone is the same sweep moved earlier in
// time by a whole multiple of 2π of phase, so that after deconvolution each
// harmonic's response has the fundamental's shape at a known time offset.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace zelvaro {

// What a sweep can be asked for; the sweep and measure commands check their
// options against the same figures. The shortest and the longest sweep, in
// seconds (the longest of its own length, after the rounding to whole
// cycles below), ...
constexpr double kMinSweepSeconds = 0.1;
constexpr double kMaxSweepSeconds = 600.0;
// ... and in frames: the exact inverse filter is made in one transform of
// about twice the sweep's length, which takes some 150 bytes a frame at its
// peak (1.3 GB here; 174 s at 48 kHz, 43 s at 192 kHz).
constexpr int64_t kMaxSweepFrames = int64_t{1} << 23;
// The rates a sweep is made at.
constexpr int kMinSweepRateHz = 8000;
constexpr int kMaxSweepRateHz = 384000;
// The quietest peak, and the longest fade at either end.
constexpr double kMinSweepPeakDbfs = -120.0;
constexpr double kMaxSweepFadeMs = 60000.0;
// The band the sweep's inverse makes flat: from from·kFlatLowRatio (√2) to
// to/kFlatHighRatio (2^(1/6)); the fades and the band's roll-off lie outside.
constexpr double kFlatLowRatio = 1.4142135623730951;
constexpr double kFlatHighRatio = 1.1224620483093730;

// A band of frequencies, both edges in it.
struct FlatBand {
    double lowHz = 0.0;
    double highHz = 0.0;
    bool contains(double hz) const { return hz >= lowHz && hz <= highHz; }
    bool empty() const { return !(lowHz < highHz); }
};
// A sweep whose length (a whole number of cycles of `from` over its rate
// constant) differs from the length asked for by more than this fraction is
// reported.
constexpr double kSweepLengthWarningFraction = 0.01;

struct SweepRequest {
    double fromHz = 20.0;
    double toHz = 20000.0;
    double seconds = 10.0;  // the length asked for; the sweep's own is close to it
    int rateHz = 44100;
    double peakDbfs = -1.0;  // the sweep's amplitude
    double fadeMs = 0.0;     // raised-cosine fades at both ends, kept outside the band

    // The band the sweep's inverse makes flat (0 dB): from·√2 to to/2^(1/6).
    // The response, its harmonics' levels, the table's flat column and the
    // plot all read this band.
    FlatBand flatBand() const { return {fromHz * kFlatLowRatio, toHz / kFlatHighRatio}; }
};

// Whether a request can be swept: `error` names the limit it breaks, with
// the figures; empty when it can be.
struct SweepRequestCheck {
    std::string error;
    bool ok() const { return error.empty(); }
};

// A request that can be swept: 0 < from < to < rate / 2 with a flat band
// between (from·√2 below to/2^(1/6)), kMinSweepSeconds to kMaxSweepSeconds
// long, at most kMaxSweepFrames once rounded to whole cycles, a rate of
// kMinSweepRateHz to kMaxSweepRateHz, a peak of kMinSweepPeakDbfs to 0 dBFS,
// fades of 0 to kMaxSweepFadeMs.
SweepRequestCheck checkSweepRequest(const SweepRequest& request);

// The sweep's length in seconds once its rate constant is rounded to a whole
// number of cycles of `from` (ExpSweep::lengthSeconds, without making it).
double sweepLengthSeconds(const SweepRequest& request);

class ExpSweep {
public:
    explicit ExpSweep(const SweepRequest& request);

    // x(t) = A sin(2π·from·L·(e^(t/L) − 1)), where L·from is a whole number:
    // the instantaneous frequency from·e^(t/L) runs from `from` to `to` over
    // the sweep's length L·ln(to/from).
    double rateConstantSeconds() const { return rateConstant; }
    double lengthSeconds() const;
    int64_t frames() const { return frameCount; }
    double amplitude() const { return amplitudeLinear; }
    double fromHz() const { return request.fromHz; }
    double toHz() const { return request.toHz; }
    int rateHz() const { return request.rateHz; }
    // The band made flat (0 dB) by the inverse (SweepRequest::flatBand).
    FlatBand flatBand() const { return request.flatBand(); }
    // True when the sweep's own length differs from the one asked for by
    // more than kSweepLengthWarningFraction.
    bool lengthDiffersFromRequest() const;
    // The fades as actually applied: at most up to √2·from at the start and
    // from to/2^(1/6) at the end, so that the band between stays untouched.
    double fadeInSeconds() const { return fadeIn; }
    double fadeOutSeconds() const { return fadeOut; }

    double instantaneousFrequencyHz(double seconds) const;
    // How much earlier the response of harmonic `order` (2 for the second)
    // lies than the fundamental's: L·ln(order).
    double harmonicOffsetSeconds(int order) const;

    // The sweep, starting on an exact 0 sample.
    std::vector<double> samples() const;
    // The inverse filter: in effect the time-reversed sweep with a slope of
    // −6 dB per octave, made exactly so that the sweep convolved with it is
    // a band-limited unit impulse at frame frames() − 1 (passGain).
    // frames() + 50 ms long.
    std::vector<double> inverse() const;
    // The band of that impulse: 1 (0 dB) from √2·from to to/2^(1/6), rolling
    // off to nothing at `from` and `to`.
    double passGain(double hz) const;

private:
    double envelope(double seconds) const;

    SweepRequest request;
    double rateConstant = 1.0;
    double amplitudeLinear = 1.0;
    double fadeIn = 0.0;
    double fadeOut = 0.0;
    int64_t frameCount = 0;
};

}  // namespace zelvaro
