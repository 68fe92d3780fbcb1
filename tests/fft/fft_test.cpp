#include "fft/fft.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <random>

namespace zelvaro {
namespace {

TEST(Fft, FastSizesHaveOnlyTheFactorsTwoThreeAndFive) {
    struct Case {
        size_t minimum, size;
    } cases[] = {{0, 1}, {1, 1}, {7, 8}, {11, 12}, {17, 18}, {97, 100}, {1025, 1080}, {960001, 972000}};
    for (const Case& c : cases)
        EXPECT_EQ(fastFftSize(c.minimum), c.size) << c.minimum;
}

// The library's transform against the definition, on a length of every factor.
TEST(Fft, RealSpectrumMatchesADirectTransform) {
    std::mt19937 random(7);
    std::uniform_real_distribution<double> value(-1.0, 1.0);
    for (size_t size : {8u, 30u, 45u}) {
        std::vector<double> signal(size - 3);  // padded with zeros to size
        for (double& v : signal)
            v = value(random);
        const std::vector<std::complex<double>> bins = realSpectrum(signal, size);
        ASSERT_EQ(bins.size(), size / 2 + 1);
        for (size_t k = 0; k < bins.size(); ++k) {
            std::complex<double> direct;
            for (size_t n = 0; n < signal.size(); ++n)
                direct += signal[n] * std::polar(1.0, -2.0 * 3.14159265358979323846 * double(k * n) / double(size));
            EXPECT_NEAR(std::abs(bins[k] - direct), 0.0, 1e-12) << size << " bin " << k;
        }
    }
}

// The direct sum in long double, the phase k·n reduced modulo the size in
// integers so that the reference itself stays exact at large sizes.
std::complex<double> directBin(const std::vector<double>& signal, size_t size, size_t k) {
    std::complex<long double> sum;
    for (size_t n = 0; n < signal.size(); ++n) {
        const long double phase = -2.0L * 3.14159265358979323846264L * static_cast<long double>((k * n) % size) / size;
        sum += std::complex<long double>(signal[n] * std::cos(phase), signal[n] * std::sin(phase));
    }
    return {static_cast<double>(sum.real()), static_cast<double>(sum.imag())};
}

// Lengths with a large prime factor take the chirp-z path: every bin of small
// ones, and a spread of bins of long ones (among them the last, where the
// chirp's phase is largest), against the definition; and back again.
TEST(Fft, PrimeAndOddLengthsMatchADirectTransformBothWays) {
    std::mt19937 random(11);
    std::uniform_real_distribution<double> value(-1.0, 1.0);
    for (size_t size : {17u, 101u, 1009u, 2 * 4099u, 3 * 33343u, 100003u}) {
        std::vector<double> signal(size);
        for (double& v : signal)
            v = value(random);
        const std::vector<std::complex<double>> bins = realSpectrum(signal, size);
        ASSERT_EQ(bins.size(), size / 2 + 1);
        const size_t step = size < 2000 ? 1 : size / 5;
        const double tolerance = 1e-12 * std::sqrt(static_cast<double>(size)) * 10;
        for (size_t k = 0; k < bins.size(); k += step)
            EXPECT_NEAR(std::abs(bins[k] - directBin(signal, size, k)), 0.0, tolerance) << size << " bin " << k;
        EXPECT_NEAR(std::abs(bins.back() - directBin(signal, size, size / 2)), 0.0, tolerance) << size;
        const std::vector<double> back = inverseRealSpectrum(bins, size);
        double worst = 0;
        for (size_t n = 0; n < size; ++n)
            worst = std::max(worst, std::fabs(back[n] - signal[n]));
        EXPECT_LT(worst, 1e-12) << size << ": the inverse gives the signal back";
    }
}

TEST(Fft, ConvolutionMatchesTheDirectSum) {
    std::mt19937 random(3);
    std::uniform_real_distribution<double> value(-1.0, 1.0);
    struct Case {
        size_t a, b;
    } cases[] = {{1, 1}, {5, 3}, {64, 64}, {100, 7}, {1, 33}};
    for (const Case& c : cases) {
        std::vector<double> a(c.a), b(c.b);
        for (double& v : a)
            v = value(random);
        for (double& v : b)
            v = value(random);
        const std::vector<double> out = convolve(a, b);
        ASSERT_EQ(out.size(), c.a + c.b - 1);
        for (size_t n = 0; n < out.size(); ++n) {
            double direct = 0.0;
            for (size_t i = 0; i < c.a; ++i)
                if (n >= i && n - i < c.b)
                    direct += a[i] * b[n - i];
            EXPECT_NEAR(out[n], direct, 1e-12) << c.a << "x" << c.b << " at " << n;
        }
    }
    EXPECT_TRUE(convolve({}, {1.0}).empty());
}

}  // namespace
}  // namespace zelvaro
