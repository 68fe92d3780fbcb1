// One period of each periodic waveform, as the tone oscillators read it.
#pragma once

#include <cstdint>

namespace zelvaro {

constexpr int kWavetableSize = 32768;
// The phase's top 15 bits index the table.
constexpr int kWavetableShift = 17;
// Height of an impulse; impulses ignore the tone's gain.
constexpr int32_t kImpulseHeight = 185364;

// Fills kWavetableSize entries for a waveform code: sine, square, triangle and
// saw tooth; impulse and every unknown code give silence.
void fillWavetable(int32_t* table, int waveform);

}  // namespace zelvaro
