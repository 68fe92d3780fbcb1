#include "measure/tone_analysis.h"

#include <algorithm>
#include <cmath>
#include <complex>

#include "impulse/fft.h"
#include "measure/levels.h"

namespace zelvaro::measure {

namespace {

constexpr double kPi = 3.14159265358979323846;
// Bins on either side of a component that its window's main lobe covers.
constexpr int kLobeBins = 5;

// Solves the symmetric system m x = v (size n <= 4) by Gaussian elimination
// with partial pivoting, in extended precision.
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

// Least squares of the samples on the given columns, by normal equations.
template <int N>
bool leastSquares(const std::vector<double>& x, double w, double a, double b, long double (&out)[N]) {
    long double m[N][N] = {}, v[N] = {};
    const double centre = (x.size() - 1) / 2.0;
    for (size_t n = 0; n < x.size(); ++n) {
        const double t = static_cast<double>(n) - centre;
        const double c = std::cos(w * t), s = std::sin(w * t);
        double col[4] = {c, s, 1.0, 0.0};
        if (N == 4) col[3] = t * (b * c - a * s);
        for (int i = 0; i < N; ++i) {
            v[i] += static_cast<long double>(col[i]) * x[n];
            for (int j = i; j < N; ++j) m[i][j] += static_cast<long double>(col[i]) * col[j];
        }
    }
    for (int i = 0; i < N; ++i)
        for (int j = 0; j < i; ++j) m[i][j] = m[j][i];
    if (!solve(m, v)) return false;
    for (int i = 0; i < N; ++i) out[i] = v[i];
    return true;
}

// The strongest component between lowHz and highHz through the window `w`,
// interpolated between bins on the log magnitude.
double strongestFrequency(const std::vector<double>& x, const std::vector<double>& w, double rate, double lowHz,
                          double highHz) {
    double mean = 0;
    for (double v : x) mean += v;
    mean /= static_cast<double>(x.size());
    std::vector<double> y(x.size());
    for (size_t i = 0; i < x.size(); ++i) y[i] = (x[i] - mean) * w[i];
    const auto spectrum = realSpectrum(y, y.size());
    const double binHz = rate / static_cast<double>(x.size());
    const size_t low = std::max<size_t>(1, static_cast<size_t>(lowHz / binHz));
    const size_t high = std::min(spectrum.size() - 1, static_cast<size_t>(std::ceil(highHz / binHz)));
    size_t best = low;
    for (size_t k = low; k <= high; ++k)
        if (std::abs(spectrum[k]) > std::abs(spectrum[best])) best = k;
    double k = static_cast<double>(best);
    if (best > 0 && best + 1 < spectrum.size()) {
        const double l = std::log(std::abs(spectrum[best - 1]) + 1e-300), m = std::log(std::abs(spectrum[best]) + 1e-300),
                     r = std::log(std::abs(spectrum[best + 1]) + 1e-300);
        const double d = l - 2 * m + r;
        if (d != 0) k += 0.5 * (l - r) / d;
    }
    return k * rate / static_cast<double>(x.size());
}

}  // namespace

double ToneAnalysis::levelDbfs() const { return toDecibels(amplitude); }

std::vector<double> blackmanHarris(size_t size) {
    std::vector<double> w(size);
    for (size_t n = 0; n < size; ++n) {
        const double p = 2 * kPi * static_cast<double>(n) / static_cast<double>(size);
        w[n] = 0.35875 - 0.48829 * std::cos(p) + 0.14128 * std::cos(2 * p) - 0.01168 * std::cos(3 * p);
    }
    return w;
}

double fitSine(const std::vector<double>& x, double rate, double startHz, double& a, double& b, double& c) {
    double f = startHz;
    long double p3[3] = {};
    for (int iteration = 0; iteration < 30; ++iteration) {
        const double w = 2 * kPi * f / rate;
        if (!leastSquares<3>(x, w, 0, 0, p3)) break;
        long double p4[4];
        if (!leastSquares<4>(x, w, static_cast<double>(p3[0]), static_cast<double>(p3[1]), p4)) break;
        const double step = static_cast<double>(p4[3]) * rate / (2 * kPi);
        f += step;
        if (std::fabs(step) < 1e-13 * std::max(f, 1.0)) break;
    }
    leastSquares<3>(x, 2 * kPi * f / rate, 0, 0, p3);
    a = static_cast<double>(p3[0]);
    b = static_cast<double>(p3[1]);
    c = static_cast<double>(p3[2]);
    return f;
}

ToneAnalysis analyzeTone(const std::vector<double>& x, double rate, std::optional<double> hint, AnalysisBand band) {
    ToneAnalysis result;
    const size_t n = x.size();
    if (n < 16) return result;
    double a = 0, b = 0, c = 0;
    const std::vector<double> window = blackmanHarris(n);
    // A stated frequency only narrows the search: the fit needs a start
    // within a fraction of a bin, which the spectrum gives.
    const double start = hint ? strongestFrequency(x, window, rate, *hint * 0.95, *hint * 1.05)
                              : strongestFrequency(x, window, rate, 0, rate / 2);
    result.frequencyHz = fitSine(x, rate, start, a, b, c);
    result.amplitude = std::hypot(a, b);
    result.dc = c;
    const double tonePower = result.amplitude * result.amplitude / 2;

    // The remainder after the sine and DC, in the same centred time as the fit.
    const double w = 2 * kPi * result.frequencyHz / rate;
    const double centre = (n - 1) / 2.0;
    std::vector<double> rest(n);
    double windowPower = 0;
    for (size_t i = 0; i < n; ++i) {
        const double t = static_cast<double>(i) - centre;
        rest[i] = (x[i] - (a * std::cos(w * t) + b * std::sin(w * t) + c)) * window[i];
        windowPower += window[i] * window[i];
    }
    const auto spectrum = realSpectrum(rest, n);
    // A bin's share of the power of the (one-sided) spectrum.
    const double scale = 2.0 / (static_cast<double>(n) * windowPower);
    std::vector<double> power(spectrum.size());
    for (size_t k = 0; k < spectrum.size(); ++k) power[k] = std::norm(spectrum[k]) * scale;

    const double binHz = rate / static_cast<double>(n);
    const double high = std::min(band.highHz, rate / 2);
    double bandPower = 0;
    for (size_t k = 1; k < power.size(); ++k) {
        const double f = static_cast<double>(k) * binHz;
        if (f >= band.lowHz && f <= high) bandPower += power[k];
    }
    result.thdnDb = 10 * std::log10(std::max(bandPower, 1e-300) / tonePower);

    // Components: the power of a main lobe around a local peak. The lowest
    // bins (DC and its lobe) and the tone's own lobe are left out.
    const long toneBin = std::lround(result.frequencyHz / binHz);
    auto lobePower = [&](long k) {
        double sum = 0;
        for (long j = std::max(0L, k - kLobeBins); j <= std::min<long>(power.size() - 1, k + kLobeBins); ++j) sum += power[j];
        return sum;
    };
    auto nearHarmonic = [&](long k) {
        if (result.frequencyHz <= 0) return false;
        const double h = std::round(k * binHz / result.frequencyHz);
        return h >= 1 && std::fabs(k - h * result.frequencyHz / binHz) <= 2 * kLobeBins;
    };
    const long first = std::max<long>(2 * kLobeBins, std::lround(10.0 / binHz));
    long spur = -1, other = -1;
    for (long k = first; k < static_cast<long>(power.size()); ++k) {
        if (std::labs(k - toneBin) <= 2 * kLobeBins) continue;
        if (spur < 0 || power[k] > power[spur]) spur = k;
        if (!nearHarmonic(k) && (other < 0 || power[k] > power[other])) other = k;
    }
    result.sfdrDb = spur < 0 ? 999 : 10 * std::log10(tonePower / std::max(lobePower(spur), 1e-300));
    result.spurHz = spur < 0 ? 0 : spur * binHz;
    result.nonHarmonicDb = other < 0 ? -999 : 10 * std::log10(std::max(lobePower(other), 1e-300) / tonePower);
    result.nonHarmonicHz = other < 0 ? 0 : other * binHz;
    return result;
}

}  // namespace zelvaro::measure
