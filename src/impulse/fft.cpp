#include "impulse/fft.h"

#include "kissfft.hh"

namespace zelvaro {

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
    std::vector<std::complex<double>> in(size);
    for (size_t i = 0; i < size && i < signal.size(); ++i)
        in[i] = signal[i];
    std::vector<std::complex<double>> out(size);
    kissfft<double>(size, false).transform(in.data(), out.data());
    out.resize(size / 2 + 1);
    return out;
}

std::vector<double> inverseRealSpectrum(const std::vector<std::complex<double>>& half, size_t size) {
    std::vector<std::complex<double>> bins(size);
    for (size_t k = 0; k < size && k < half.size(); ++k) {
        bins[k] = half[k];
        if (k > 0)
            bins[size - k] = std::conj(half[k]);
    }
    std::vector<std::complex<double>> out(size);
    kissfft<double>(size, true).transform(bins.data(), out.data());
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
