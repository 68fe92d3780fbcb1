#include "measure/tone_analysis.h"

#include <algorithm>
#include <cmath>
#include <complex>

#include "base/decibel_floor.h"
#include "base/pi.h"
#include "fft/fft.h"
#include "measure/levels.h"

namespace zelvaro::measure {

namespace {

// Bins on either side of a component that its window's main lobe covers.
constexpr int kLobeBins = 5;
// The fit's passes take cos and sin exactly at the start of each block of
// this many samples and turn a rotation inside it: a few multiplications a
// sample instead of two calls, with an error (about the block length times
// the double's epsilon) far below the finest THD+N measured.
constexpr size_t kPhaseBlock = 256;
constexpr int kMaxFitIterations = 30;

// Solves m x = v (size N) by Gaussian elimination with partial pivoting, in
// extended precision.
template <int N>
bool solve(long double (&m)[N][N], long double (&v)[N]) {
    for (int col = 0; col < N; ++col) {
        int pivot = col;
        for (int r = col + 1; r < N; ++r)
            if (std::fabs(m[r][col]) > std::fabs(m[pivot][col])) pivot = r;
        if (m[pivot][col] == 0) return false;
        std::swap(m[col], m[pivot]);
        std::swap(v[col], v[pivot]);
        for (int r = col + 1; r < N; ++r) {
            const long double f = m[r][col] / m[col][col];
            for (int k = col; k < N; ++k) m[r][k] -= f * m[col][k];
            v[r] -= f * v[col];
        }
    }
    for (int r = N - 1; r >= 0; --r) {
        for (int k = r + 1; k < N; ++k) v[r] -= m[r][k] * v[k];
        v[r] /= m[r][r];
    }
    return true;
}

// Calls f(n, t, cos(w t), sin(w t)) for every sample n, t counted from the
// middle of the signal, and flush() after each block.
template <class Each, class Flush>
void forEachPhase(size_t size, double w, Each&& each, Flush&& flush) {
    const double centre = (static_cast<double>(size) - 1) / 2.0;
    const double turnCos = std::cos(w), turnSin = std::sin(w);
    for (size_t start = 0; start < size; start += kPhaseBlock) {
        const double t0 = static_cast<double>(start) - centre;
        double c = std::cos(w * t0), s = std::sin(w * t0);
        const size_t end = std::min(size, start + kPhaseBlock);
        for (size_t n = start; n < end; ++n) {
            each(n, static_cast<double>(n) - centre, c, s);
            const double next = c * turnCos - s * turnSin;
            s = s * turnCos + c * turnSin;
            c = next;
        }
        flush();
    }
}

// The sums that the three- and four-parameter fits at one frequency need:
// the products of the columns cos, sin, 1, t·cos and t·sin with each other
// and with the samples. Each block is summed in double and added to the
// totals in extended precision.
struct FitSums {
    enum { kCC, kCS, kSS, kC, kS, kTCC, kTCS, kTSS, kTTCC, kTTCS, kTTSS, kTC, kTS, kXC, kXS, kX, kXTC, kXTS, kCount };
    long double sum[kCount] = {};
    long double count = 0;
};

FitSums fitSums(const std::vector<double>& x, double w) {
    FitSums total;
    total.count = static_cast<long double>(x.size());
    double block[FitSums::kCount] = {};
    forEachPhase(
        x.size(), w,
        [&](size_t n, double t, double c, double s) {
            const double tc = t * c, ts = t * s, v = x[n];
            block[FitSums::kCC] += c * c;
            block[FitSums::kCS] += c * s;
            block[FitSums::kSS] += s * s;
            block[FitSums::kC] += c;
            block[FitSums::kS] += s;
            block[FitSums::kTCC] += tc * c;
            block[FitSums::kTCS] += tc * s;
            block[FitSums::kTSS] += ts * s;
            block[FitSums::kTTCC] += tc * tc;
            block[FitSums::kTTCS] += tc * ts;
            block[FitSums::kTTSS] += ts * ts;
            block[FitSums::kTC] += tc;
            block[FitSums::kTS] += ts;
            block[FitSums::kXC] += v * c;
            block[FitSums::kXS] += v * s;
            block[FitSums::kX] += v;
            block[FitSums::kXTC] += v * tc;
            block[FitSums::kXTS] += v * ts;
        },
        [&] {
            for (int i = 0; i < FitSums::kCount; ++i) {
                total.sum[i] += block[i];
                block[i] = 0;
            }
        });
    return total;
}

// a cos + b sin + c by least squares.
bool fitThree(const FitSums& f, long double (&out)[3]) {
    const long double* s = f.sum;
    long double m[3][3] = {{s[FitSums::kCC], s[FitSums::kCS], s[FitSums::kC]},
                           {s[FitSums::kCS], s[FitSums::kSS], s[FitSums::kS]},
                           {s[FitSums::kC], s[FitSums::kS], f.count}};
    long double v[3] = {s[FitSums::kXC], s[FitSums::kXS], s[FitSums::kX]};
    if (!solve(m, v)) return false;
    for (int i = 0; i < 3; ++i) out[i] = v[i];
    return true;
}

// The four-parameter step: the fourth column is the derivative of
// a cos(wt) + b sin(wt) by w, t (b cos − a sin); returns its coefficient,
// the change of w.
bool fitFourStep(const FitSums& f, long double a, long double b, long double& dw) {
    const long double* s = f.sum;
    const long double c3 = b * s[FitSums::kTCC] - a * s[FitSums::kTCS];
    const long double s3 = b * s[FitSums::kTCS] - a * s[FitSums::kTSS];
    const long double one3 = b * s[FitSums::kTC] - a * s[FitSums::kTS];
    const long double d33 = b * b * s[FitSums::kTTCC] - 2 * a * b * s[FitSums::kTTCS] + a * a * s[FitSums::kTTSS];
    long double m[4][4] = {{s[FitSums::kCC], s[FitSums::kCS], s[FitSums::kC], c3},
                           {s[FitSums::kCS], s[FitSums::kSS], s[FitSums::kS], s3},
                           {s[FitSums::kC], s[FitSums::kS], f.count, one3},
                           {c3, s3, one3, d33}};
    long double v[4] = {s[FitSums::kXC], s[FitSums::kXS], s[FitSums::kX],
                        b * s[FitSums::kXTC] - a * s[FitSums::kXTS]};
    if (!solve(m, v)) return false;
    dw = v[3];
    return true;
}

// The strongest component between lowHz and highHz through the window `w`,
// interpolated between bins on the log magnitude; NaN when the range holds
// no bin.
double strongestFrequency(const std::vector<double>& x, const std::vector<double>& w, double rate, double lowHz,
                          double highHz) {
    double mean = 0;
    for (double v : x) mean += v;
    mean /= static_cast<double>(x.size());
    std::vector<double> y(x.size());
    for (size_t i = 0; i < x.size(); ++i) y[i] = (x[i] - mean) * w[i];
    const size_t size = fastFftSize(x.size());
    const auto spectrum = realSpectrum(y, size);
    const double binHz = rate / static_cast<double>(size);
    lowHz = std::clamp(lowHz, 0.0, rate / 2);
    highHz = std::clamp(highHz, 0.0, rate / 2);
    const size_t low = std::max<size_t>(1, static_cast<size_t>(std::ceil(lowHz / binHz)));
    const size_t high = std::min(spectrum.size() - 1, static_cast<size_t>(highHz / binHz));
    if (low > high) return std::nan("");
    size_t best = low;
    for (size_t k = low; k <= high; ++k)
        if (std::abs(spectrum[k]) > std::abs(spectrum[best])) best = k;
    double k = static_cast<double>(best);
    if (best > 0 && best + 1 < spectrum.size()) {
        const double l = std::log(std::abs(spectrum[best - 1]) + kLogFloor), m = std::log(std::abs(spectrum[best]) + kLogFloor),
                     r = std::log(std::abs(spectrum[best + 1]) + kLogFloor);
        const double d = l - 2 * m + r;
        if (d != 0) k += 0.5 * (l - r) / d;
    }
    return k * binHz;
}

}  // namespace

double ToneAnalysis::levelDbfs() const { return toDecibels(amplitude); }

std::string describeRefusal(ToneRefusal refusal) {
    const std::string bins = std::to_string(static_cast<int>(kEdgeBins));
    switch (refusal) {
        case ToneRefusal::kNone: return "measured";
        case ToneRefusal::kTooShort:
            return "too short to fit a sine (fewer than " + std::to_string(kMinToneFrames) + " frames)";
        case ToneRefusal::kNoTone:
            return "no tone found (silence, DC, or no component that stands out from the rest)";
        case ToneRefusal::kTooFewCycles:
            return "too few cycles to fit (fewer than " + bins + ": the tone is too near 0 Hz for this length)";
        case ToneRefusal::kNearNyquist:
            return "the tone is too near the Nyquist frequency to fit (within " + bins + " bins)";
        case ToneRefusal::kFarFromExpected:
            return "no tone within " + std::to_string(static_cast<int>(kExpectedTolerance * 100)) +
                   " % of the frequency given";
    }
    return "";
}

std::vector<double> blackmanHarris(size_t size) {
    std::vector<double> w(size);
    for (size_t n = 0; n < size; ++n) {
        const double p = 2 * kPi * static_cast<double>(n) / static_cast<double>(size);
        w[n] = 0.35875 - 0.48829 * std::cos(p) + 0.14128 * std::cos(2 * p) - 0.01168 * std::cos(3 * p);
    }
    return w;
}

double SineFit::amplitude() const { return std::hypot(cosAmplitude, sinAmplitude); }

SineFit fitSine(const std::vector<double>& x, double rate, double startHz) {
    double f = startHz;
    long double p3[3] = {};
    for (int iteration = 0; iteration < kMaxFitIterations; ++iteration) {
        const FitSums sums = fitSums(x, 2 * kPi * f / rate);
        long double dw = 0;
        if (!fitThree(sums, p3) || !fitFourStep(sums, p3[0], p3[1], dw)) break;
        const double step = static_cast<double>(dw) * rate / (2 * kPi);
        if (!std::isfinite(step)) break;
        f += step;
        if (std::fabs(step) < 1e-13 * std::max(f, 1.0)) break;
    }
    if (!fitThree(fitSums(x, 2 * kPi * f / rate), p3)) p3[0] = p3[1] = p3[2] = 0;
    SineFit fit;
    fit.frequencyHz = f;
    fit.cosAmplitude = static_cast<double>(p3[0]);
    fit.sinAmplitude = static_cast<double>(p3[1]);
    fit.dc = static_cast<double>(p3[2]);
    return fit;
}

namespace {

ToneAnalysis analyzeToneNear(const std::vector<double>& x, double rate, std::optional<double> hint, AnalysisBand band) {
    ToneAnalysis result;
    const size_t n = x.size();
    const double nyquistHz = rate / 2;
    result.thdnBand = {band.lowHz, std::min(band.highHz, nyquistHz)};
    if (n < kMinToneFrames) {
        result.refusal = ToneRefusal::kTooShort;
        return result;
    }
    long double mean = 0, acEnergy = 0;
    for (double v : x) mean += v;
    mean /= n;
    for (double v : x) acEnergy += (v - mean) * (v - mean);
    if (!(acEnergy > 0)) {
        result.refusal = ToneRefusal::kNoTone;
        return result;
    }
    if (hint && !(*hint > 0 && *hint < nyquistHz)) {
        result.refusal = ToneRefusal::kFarFromExpected;
        return result;
    }
    const double edgeHz = kEdgeBins * rate / static_cast<double>(n);
    auto edgeRefusal = [&](double f) {
        if (!std::isfinite(f) || f < edgeHz) return ToneRefusal::kTooFewCycles;
        if (f > nyquistHz - edgeHz) return ToneRefusal::kNearNyquist;
        if (hint && std::fabs(f - *hint) > kExpectedTolerance * *hint) return ToneRefusal::kFarFromExpected;
        return ToneRefusal::kNone;
    };

    const std::vector<double> window = blackmanHarris(n);
    // A stated frequency only narrows the search: the fit needs a start
    // within a fraction of a bin, which the spectrum gives.
    const double start = hint ? strongestFrequency(x, window, rate, *hint * (1 - kExpectedTolerance),
                                                   *hint * (1 + kExpectedTolerance))
                              : strongestFrequency(x, window, rate, 0, nyquistHz);
    result.frequencyHz = start;
    if ((result.refusal = edgeRefusal(start)) != ToneRefusal::kNone) return result;
    const SineFit fit = fitSine(x, rate, start);
    result.frequencyHz = fit.frequencyHz;
    if ((result.refusal = edgeRefusal(result.frequencyHz)) != ToneRefusal::kNone) return result;
    result.amplitude = fit.amplitude();
    result.dc = fit.dc;
    const double a = fit.cosAmplitude, b = fit.sinAmplitude, c = fit.dc;
    const double tonePower = result.amplitude * result.amplitude / 2;

    // The remainder after the sine and DC, in the same centred time as the fit.
    const double w = 2 * kPi * result.frequencyHz / rate;
    std::vector<double> rest(n);
    double windowPower = 0, blockRest = 0;
    long double restEnergy = 0;
    forEachPhase(
        n, w,
        [&](size_t i, double, double cw, double sw) {
            const double r = x[i] - (a * cw + b * sw + c);
            blockRest += r * r;
            rest[i] = r * window[i];
            windowPower += window[i] * window[i];
        },
        [&] {
            restEnergy += blockRest;
            blockRest = 0;
        });
    if (!(tonePower > static_cast<double>(restEnergy / n))) {
        result.refusal = ToneRefusal::kNoTone;
        return result;
    }
    const size_t size = fastFftSize(n);
    const auto spectrum = realSpectrum(rest, size);
    // A bin's share of the power of the (one-sided) spectrum; with padding
    // the bins are closer, and each holds a smaller share.
    const double scale = 2.0 / (static_cast<double>(size) * windowPower);
    std::vector<double> power(spectrum.size());
    for (size_t k = 0; k < spectrum.size(); ++k) power[k] = std::norm(spectrum[k]) * scale;

    const double binHz = rate / static_cast<double>(size);
    double bandPower = 0;
    for (size_t k = 1; k < power.size(); ++k) {
        const double f = static_cast<double>(k) * binHz;
        if (f >= result.thdnBand.lowHz && f <= result.thdnBand.highHz) bandPower += power[k];
    }
    result.thdnDb = 10 * std::log10(std::max(bandPower, kLogFloor) / tonePower);

    // Components: the power of a main lobe around a local peak, in bins of
    // the padded spectrum. DC's lobe and the tone's own are left out.
    const long lobe = std::max(1L, std::lround(kLobeBins * static_cast<double>(size) / static_cast<double>(n)));
    result.sfdrExcludedHz = kMainLobeBins * rate / static_cast<double>(n);
    auto lobePower = [&](long k) {
        double sum = 0;
        for (long j = std::max(0L, k - lobe); j <= std::min<long>(power.size() - 1, k + lobe); ++j) sum += power[j];
        return sum;
    };
    auto nearHarmonic = [&](long k) {
        const double h = std::round(k * binHz / result.frequencyHz);
        return h >= 1 && std::fabs(k - h * result.frequencyHz / binHz) <= 2 * lobe;
    };
    const long first = static_cast<long>(std::ceil(result.sfdrExcludedHz / binHz));
    long spur = -1, other = -1;
    for (long k = first; k < static_cast<long>(power.size()); ++k) {
        if (std::fabs(k * binHz - result.frequencyHz) < result.sfdrExcludedHz) continue;
        if (spur < 0 || power[k] > power[spur]) spur = k;
        if (!nearHarmonic(k) && (other < 0 || power[k] > power[other])) other = k;
    }
    result.sfdrDb = spur < 0 ? -kNoLevelDb : 10 * std::log10(tonePower / std::max(lobePower(spur), kLogFloor));
    result.spurHz = spur < 0 ? 0 : spur * binHz;
    result.nonHarmonicDb = other < 0 ? kNoLevelDb : 10 * std::log10(std::max(lobePower(other), kLogFloor) / tonePower);
    result.nonHarmonicHz = other < 0 ? 0 : other * binHz;
    if (result.sfdrDb < kMinToneSfdrDb) result.refusal = ToneRefusal::kNoTone;
    return result;
}

}  // namespace

ToneAnalysis analyzeTone(const std::vector<double>& x, double rate, std::optional<double> hint, AnalysisBand band) {
    ToneAnalysis result = analyzeToneNear(x, rate, hint, band);
    // Nothing stands out near the frequency asked for, or a fit started on
    // the band's rounding noise wandered off: if the file holds a tone
    // elsewhere, that tone is what the refusal names.
    if (hint && (result.refusal == ToneRefusal::kNoTone || result.refusal == ToneRefusal::kFarFromExpected)) {
        const ToneAnalysis whole = analyzeToneNear(x, rate, std::nullopt, band);
        if (whole.refusal == ToneRefusal::kNone) {
            result.refusal = ToneRefusal::kFarFromExpected;
            result.frequencyHz = whole.frequencyHz;
        }
    }
    return result;
}

}  // namespace zelvaro::measure
