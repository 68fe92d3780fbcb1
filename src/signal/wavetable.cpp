#include "signal/wavetable.h"

#include <cmath>
#include <cstring>

#include "tone/tone_settings.h"

namespace zelvaro {

namespace {

constexpr int kHalf = kWavetableSize / 2;
constexpr int kQuarter = kWavetableSize / 4;

void fillSine(int32_t* table) {
    // Extended precision keeps entries that sit next to an integer boundary
    // the same on every build.
    const long double pi = 3.141592653589793238462643383279502884L;
    for (int i = 0; i < kWavetableSize; ++i) {
        const long double angle = 2.0L * pi * i / kWavetableSize;
        table[i] = static_cast<int32_t>(std::sin(angle) * 131070.8844L);
    }
}

void fillSquare(int32_t* table) {
    for (int i = 0; i < kWavetableSize; ++i)
        table[i] = i < kHalf ? 92682 : -92682;
}

void fillTriangle(int32_t* table) {
    const double slope = 20.238549279785158;
    for (int i = 0; i < kQuarter; ++i)
        table[i] = static_cast<int32_t>(i * slope);
    for (int i = kQuarter; i < kHalf; ++i)
        table[i] = static_cast<int32_t>((kHalf - i) * slope);
    for (int i = kHalf; i < kWavetableSize; ++i)
        table[i] = -table[i - kHalf];
}

void fillSawTooth(int32_t* table) {
    const double slope = 10.119274639892579;
    for (int i = 0; i <= kHalf; ++i)
        table[i] = static_cast<int32_t>(i * slope);
    // Rising order matters: entry 16,384 is read before it is overwritten.
    for (int i = kHalf; i < kWavetableSize; ++i)
        table[i] = -table[kWavetableSize - i];
}

}  // namespace

void fillWavetable(int32_t* table, int waveform) {
    switch (waveform) {
    case kWaveSine:
        fillSine(table);
        break;
    case kWaveSquare:
        fillSquare(table);
        break;
    case kWaveTriangular:
        fillTriangle(table);
        break;
    case kWaveSawTooth:
        fillSawTooth(table);
        break;
    default:
        std::memset(table, 0, sizeof(int32_t) * kWavetableSize);
        break;
    }
}

}  // namespace zelvaro
