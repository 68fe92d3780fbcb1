// The exponential sine sweep that impulse responses are measured with, and
// its inverse filter. The sweep is synchronised: its rate constant is chosen
// so that every harmonic of the swept tone is the same sweep moved earlier in
// time by a whole multiple of 2π of phase, so that after deconvolution each
// harmonic's response has the fundamental's shape at a known time offset.
#pragma once

#include <vector>

namespace zelvaro {

struct SweepRequest {
    double fromHz = 20.0;
    double toHz = 20000.0;
    double seconds = 10.0;  // the length asked for; the sweep's own is close to it
    int rateHz = 44100;
    double peakDbfs = -1.0;  // the sweep's amplitude
    double fadeMs = 0.0;     // raised-cosine fades at both ends, kept outside the band
};

// A request that can be swept: 0 < from < to < rate / 2, at least a tenth of
// a second, at most an hour, a rate of 8 to 384 kHz, a peak at or below 0 dBFS.
// On failure `why` says which.
bool validSweepRequest(const SweepRequest& request, const char** why);

class ExpSweep {
public:
    explicit ExpSweep(const SweepRequest& request);

    // x(t) = A sin(2π·from·L·(e^(t/L) − 1)), where L·from is a whole number:
    // the instantaneous frequency from·e^(t/L) runs from `from` to `to` over
    // the sweep's length L·ln(to/from).
    double rateConstantSeconds() const { return rateConstant; }
    double lengthSeconds() const;
    int frames() const { return frameCount; }
    double amplitude() const { return amplitudeLinear; }
    double fromHz() const { return request.fromHz; }
    double toHz() const { return request.toHz; }
    int rateHz() const { return request.rateHz; }
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
    int frameCount = 0;
};

}  // namespace zelvaro
