// The pure rate converter's response against its aim, measured on sines:
// the gain in the pass band, and everything that is not the input tone
// (aliases, images, the error of interpolating between the kernel's phases)
// against the stop band's floor, at rates that meet at few phases and at
// rates that meet at more than the table holds.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "signal/pure_rate_converter.h"

namespace zelvaro {
namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kAmplitude = 0.5;

// A sine whose phase is reduced exactly (hz * n is exact for the frequencies
// used), so that the input holds nothing but the tone.
class SineSource final : public PureSource {
public:
    SineSource(double hz, int32_t rate) : PureSource(rate, 1, INT32_MAX), hz_(hz) {}
    void read(double* out, int frames) override {
        for (int i = 0; i < frames; ++i, ++n_) {
            const double turns = std::fmod(hz_ * static_cast<double>(n_), sampleRate) / sampleRate;
            out[i] = kAmplitude * std::sin(2 * kPi * turns);
        }
    }

private:
    double hz_;
    int64_t n_ = 0;
};

struct Response {
    double gainDb;  // of the tone at its own frequency
    double restDb;  // all that is left once the tone is taken out, against the input tone
};

// Least squares fit of a sine at `hz` to the output after its start-up.
Response measure(int32_t from, int32_t to, double hz) {
    PureRateConverter converter(std::make_unique<SineSource>(hz, from), to);
    const int skip = static_cast<int>(static_cast<int64_t>(converter.halfWidth()) * to / from) + 16;
    constexpr int kFrames = 8192;
    std::vector<double> y(static_cast<size_t>(skip + kFrames));
    converter.read(y.data(), static_cast<int>(y.size()));
    y.erase(y.begin(), y.begin() + skip);
    // Output frame m stands at input time m * from / to.
    const bool representable = hz < to / 2.0;
    double ss = 0, sc = 0, cc = 0, ys = 0, yc = 0;
    std::vector<double> s(kFrames), c(kFrames);
    for (int m = 0; m < kFrames; ++m) {
        const int64_t frame = skip + m;
        const double turns = std::fmod(hz * static_cast<double>(frame), to) / to;
        s[m] = std::sin(2 * kPi * turns);
        c[m] = std::cos(2 * kPi * turns);
        ss += s[m] * s[m], sc += s[m] * c[m], cc += c[m] * c[m], ys += y[m] * s[m], yc += y[m] * c[m];
    }
    double a = 0, b = 0;
    if (representable) {
        const double det = ss * cc - sc * sc;
        a = (ys * cc - yc * sc) / det;
        b = (yc * ss - ys * sc) / det;
    }
    double rest = 0;
    for (int m = 0; m < kFrames; ++m) rest += std::pow(y[m] - a * s[m] - b * c[m], 2);
    const double inputPower = kAmplitude * kAmplitude / 2;
    return {20 * std::log10(std::hypot(a, b) / kAmplitude), 10 * std::log10(rest / kFrames / inputPower + 1e-40)};
}

TEST(PureRateConverter, MeetsItsAimInThePassAndStopBands) {
    enum Band { kPass, kTransition, kStop };
    struct Row {
        int32_t from, to;
        double hz;
        Band band;
    } rows[] = {
        // 44.1 kHz output; 44,101 meets 48,000 and 44,100 at more phases than the table has.
        {48000, 44100, 20, kPass},        {48000, 44100, 1000, kPass},      {48000, 44100, 10000, kPass},
        {48000, 44100, 19000, kPass},     {48000, 44100, 19800, kPass},     {48000, 44100, 20000, kPass},
        {48000, 44100, 21000, kTransition}, {48000, 44100, 22050, kStop},   {48000, 44100, 22100, kStop},
        {48000, 44100, 23000, kStop},     {48000, 44100, 23999, kStop},     {96000, 44100, 20000, kPass},
        {96000, 44100, 22100, kStop},     {96000, 44100, 47000, kStop},     {192000, 44100, 20000, kPass},
        {192000, 44100, 22050, kStop},    {192000, 44100, 95000, kStop},    {22050, 44100, 10000, kPass},
        {22050, 44100, 10800, kTransition}, {44100, 44101, 1000, kPass},    {44100, 44101, 20000, kPass},
        {44100, 44101, 21500, kTransition}, {48000, 44101, 19999.5, kPass}, {48000, 44101, 22100, kStop},
        {48000, 44101, 23999, kStop},
        // A kernel too long for a table of every phase it meets at.
        {192000, 9001, 4000, kPass},      {192000, 9001, 4600, kStop},      {192000, 9001, 60000, kStop},
        // 48 kHz output.
        {44100, 48000, 20, kPass},        {44100, 48000, 1000, kPass},      {44100, 48000, 20000, kPass},
        {44100, 48000, 21000, kTransition}, {44100, 48000, 22000, kTransition}, {96000, 48000, 1000, kPass},
        {96000, 48000, 21600, kPass},     {96000, 48000, 21780, kPass},     {96000, 48000, 24000, kStop},
        {96000, 48000, 24100, kStop},     {96000, 48000, 30000, kStop},     {96000, 48000, 47999, kStop},
        {32000, 48000, 14500, kPass},     {44101, 48000, 20000, kPass},     {44101, 48000, 22000, kTransition},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(testing::Message() << r.hz << " Hz, " << r.from << " to " << r.to);
        const Response got = measure(r.from, r.to, r.hz);
        if (r.band == kPass) {
            EXPECT_LE(std::fabs(got.gainDb), PureRateConverter::kPassRippleDb);
        }
        EXPECT_LE(got.restDb, -PureRateConverter::kStopBandDb);
    }
}

}  // namespace
}  // namespace zelvaro
