// Transforms and convolutions of real signals, on the library's mixed-radix
// FFT in double precision. Every length takes O(n log n): one with a prime
// factor above 13 goes through a chirp-z convolution at a fast size, so a
// transform of any length gives the bins of that length.
#pragma once

#include <complex>
#include <cstddef>
#include <vector>

namespace zelvaro {

// The smallest length at or above `minimum` whose only prime factors are 2,
// 3 and 5, where the transform is fast.
size_t fastFftSize(size_t minimum);

// The first size / 2 + 1 bins of the transform of `signal` padded with zeros
// (or cut) to `size` samples: X[k] = Σ x[n]·e^(−2πikn/size).
std::vector<std::complex<double>> realSpectrum(const std::vector<double>& signal, size_t size);

// The real signal of `size` samples whose transform has the bins `half`
// (0 to size / 2; the rest are their mirror images).
std::vector<double> inverseRealSpectrum(const std::vector<std::complex<double>>& half, size_t size);

// The full linear convolution of a and b (a.size() + b.size() − 1 samples).
std::vector<double> convolve(const std::vector<double>& a, const std::vector<double>& b);

}  // namespace zelvaro
