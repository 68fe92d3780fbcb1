// The wavetable oscillators of a tone, eight frames at a time: on processors
// with 256-bit integer vectors (see base/wide_loops.h) one instruction looks
// up eight frames of an oscillator in its table, where the plain loop takes
// one load per frame. Gives the plain loop's samples and phases.
#pragma once

#include <cstdint>

#include "signal/oscillator.h"

namespace zelvaro {

// Frames rendered per step; addGatheredOscillators takes a multiple of it.
constexpr int kGatherFrames = 8;

// Adds the outputs of `count` oscillators to `frames` consecutive samples of
// `out`, scaled by their gains when `gained`, or stores their sum there when
// `first`; moves their phases on. Only for use when useWideLoops().
void addGatheredOscillators(Oscillator* const* oscs, int count, bool gained, const int32_t* table, uint32_t* out,
                            int frames, bool first);

// Writes left[i] and right[i] to out[2i] and out[2i + 1] for `frames` frames.
// Only for use when useWideLoops().
void interleaveGathered(const uint32_t* left, const uint32_t* right, uint32_t* out, int frames);

}  // namespace zelvaro
