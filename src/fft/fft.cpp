#include "fft/fft.h"

#include <cmath>
#include <cstdint>

#include "base/pi.h"
#include "kissfft.hh"

namespace zelvaro {

namespace {

// The library's transform is fast for small prime factors; a larger one it
// takes by its generic butterfly, whose cost grows with the factor itself
// (a prime length of 100,003 costs n² operations). Past this factor the
// transform goes through a chirp-z convolution at a fast size.
constexpr size_t kLargestDirectFactor = 13;

size_t largestPrimeFactor(size_t n) {
    size_t largest = 1;
    for (size_t p = 2; p * p <= n; ++p)
        while (n % p == 0) {
            largest = p;
            n /= p;
        }
    return n > 1 ? n : largest;
}

// X[k] = Σ x[n]·e^(∓2πikn/size), forward with the minus sign, unscaled.
// For a length with a large prime factor, Bluestein's identity
// kn = (k² + n² − (k − n)²) / 2 turns the transform into a convolution with
// the chirp e^(±iπm²/size), taken at a fast size.
std::vector<std::complex<double>> transform(std::vector<std::complex<double>> in, bool inverse) {
    const size_t size = in.size();
    std::vector<std::complex<double>> out(size);
    if (size == 0)
        return out;
    if (largestPrimeFactor(size) <= kLargestDirectFactor) {
        kissfft<double>(size, inverse).transform(in.data(), out.data());
        return out;
    }
    // chirp[m] = e^(∓iπm²/size). m² is taken modulo 2·size in integers,
    // one step of 2m + 1 at a time, so that the phase stays exact however
    // long the signal (m² itself would lose digits in a double).
    const double sign = inverse ? 1.0 : -1.0;
    std::vector<std::complex<double>> chirp(size);
    const uint64_t period = 2 * static_cast<uint64_t>(size);
    uint64_t square = 0;
    for (size_t m = 0; m < size; ++m) {
        chirp[m] = std::polar(1.0, sign * kPi * static_cast<double>(square) / static_cast<double>(size));
        square = (square + 2 * m + 1) % period;
    }
    const size_t fast = fastFftSize(2 * size - 1);
    // The chirp's conjugate, on both sides of 0, as the convolution's filter.
    std::vector<std::complex<double>> filter(fast), filterBins(fast);
    filter[0] = std::conj(chirp[0]);
    for (size_t m = 1; m < size; ++m)
        filter[m] = filter[fast - m] = std::conj(chirp[m]);
    kissfft<double> forward(fast, false);
    forward.transform(filter.data(), filterBins.data());
    std::vector<std::complex<double>>& work = filter;  // its contents are spent
    std::fill(work.begin(), work.end(), std::complex<double>());
    for (size_t n = 0; n < size; ++n)
        work[n] = in[n] * chirp[n];
    in = {};
    std::vector<std::complex<double>> bins(fast);
    forward.transform(work.data(), bins.data());
    for (size_t k = 0; k < fast; ++k)
        bins[k] *= filterBins[k];
    filterBins = {};
    kissfft<double>(fast, true).transform(bins.data(), work.data());
    const double scale = 1.0 / static_cast<double>(fast);
    for (size_t k = 0; k < size; ++k)
        out[k] = work[k] * chirp[k] * scale;
    return out;
}

}  // namespace

size_t fastFftSize(size_t minimum) {
    size_t best = 1;
    while (best < minimum)
        best *= 2;
    // Every 2^a·3^b·5^c between minimum and the next power of two.
    for (size_t five = 1; five < best; five *= 5)
        for (size_t three = five; three < best; three *= 3) {
            size_t n = three;
            while (n < minimum)
                n *= 2;
            if (n < best)
                best = n;
        }
    return best;
}

std::vector<std::complex<double>> realSpectrum(const std::vector<double>& signal, size_t size) {
    if (size < 4 || size % 2 != 0) {
        std::vector<std::complex<double>> in(size);
        for (size_t i = 0; i < size && i < signal.size(); ++i)
            in[i] = signal[i];
        std::vector<std::complex<double>> out = transform(std::move(in), false);
        out.resize(size / 2 + 1);
        return out;
    }
    // An even length in half the work: the even samples as the real part and
    // the odd ones as the imaginary part of one transform of size / 2, taken
    // apart again by the symmetry of real spectra.
    const size_t half = size / 2;
    std::vector<std::complex<double>> packed(half);
    for (size_t i = 0; i < half; ++i) {
        const double even = 2 * i < signal.size() ? signal[2 * i] : 0.0;
        const double odd = 2 * i + 1 < signal.size() ? signal[2 * i + 1] : 0.0;
        packed[i] = {even, odd};
    }
    const std::vector<std::complex<double>> z = transform(std::move(packed), false);
    std::vector<std::complex<double>> out(half + 1);
    out[0] = z[0].real() + z[0].imag();
    out[half] = z[0].real() - z[0].imag();
    for (size_t k = 1; k < half; ++k) {
        const std::complex<double> a = z[k], b = std::conj(z[half - k]);
        const std::complex<double> evens = 0.5 * (a + b);
        const std::complex<double> odds = std::complex<double>(0.0, -0.5) * (a - b);
        out[k] = evens + std::polar(1.0, -2.0 * kPi * static_cast<double>(k) / static_cast<double>(size)) * odds;
    }
    return out;
}

std::vector<double> inverseRealSpectrum(const std::vector<std::complex<double>>& half, size_t size) {
    std::vector<std::complex<double>> bins(size);
    for (size_t k = 0; k < size && k < half.size(); ++k) {
        bins[k] = half[k];
        if (k > 0)
            bins[size - k] = std::conj(half[k]);
    }
    const std::vector<std::complex<double>> out = transform(std::move(bins), true);
    std::vector<double> signal(size);
    for (size_t n = 0; n < size; ++n)
        signal[n] = out[n].real() / static_cast<double>(size);
    return signal;
}
std::vector<double> convolve(const std::vector<double>& a, const std::vector<double>& b) {
    if (a.empty() || b.empty())
        return {};
    const size_t length = a.size() + b.size() - 1;
    const size_t size = fastFftSize(length);
    // Both real signals in one complex transform: a as the real part, b as
    // the imaginary part, separated again by the symmetry of real spectra.
    std::vector<std::complex<double>> both(size);
    for (size_t i = 0; i < a.size(); ++i)
        both[i].real(a[i]);
    for (size_t i = 0; i < b.size(); ++i)
        both[i].imag(b[i]);
    std::vector<std::complex<double>> spectrum(size);
    kissfft<double>(size, false).transform(both.data(), spectrum.data());
    for (size_t k = 0; k < size; ++k) {
        const std::complex<double> z = spectrum[k];
        const std::complex<double> mirror = std::conj(spectrum[(size - k) % size]);
        const std::complex<double> fa = 0.5 * (z + mirror);
        const std::complex<double> fb = std::complex<double>(0.0, -0.5) * (z - mirror);
        both[k] = fa * fb;
    }
    kissfft<double>(size, true).transform(both.data(), spectrum.data());
    std::vector<double> out(length);
    for (size_t i = 0; i < length; ++i)
        out[i] = spectrum[i].real() / static_cast<double>(size);
    return out;
}

}  // namespace zelvaro
