// The exact length of a fixed-duration tone, in 64 bits, so that a tone
// longer than the generator or the output file can hold is refused instead of
// being cut short where the int32 frame counts stop.
#pragma once

#include <cstdint>

namespace zelvaro {

// Frames of `durationMs` at 44,100 Hz, counted as the generators count them
// (whole seconds, then the milliseconds rounded down) but without their cap.
int64_t toneFrames(uint32_t durationMs);

// `frames` at `fromRate` converted to `toRate` the way the rate converter
// counts its length; -1 when the converter cannot join the two rates.
int64_t framesAtRate(int64_t frames, int32_t fromRate, int32_t toRate);

}  // namespace zelvaro
