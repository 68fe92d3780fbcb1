// Peak and mean-square measurements of sample blocks, shared by the player's
// meters, the sample-rate converter and the peak limiter.
#pragma once

#include <cstdint>

namespace zelvaro {

// The largest magnitude among `count` samples: the greater of the largest
// sample and the negated smallest one, both starting from 0. The magnitude of
// INT32_MIN is reported as INT32_MAX.
int32_t blockPeak(const int32_t* samples, int count);
// The same over channel `channel` of `frames` interleaved frames of `channels` channels.
int32_t channelPeak(const int32_t* samples, int frames, int channels, int channel);

// Mean of the squared samples, each taken as (s >> 5) squared in 32 bits, in
// units of 1/8192 of that square; 0 for no samples.
uint32_t blockMeanSquare(const int32_t* samples, int count);
uint32_t channelMeanSquare(const int32_t* samples, int frames, int channels, int channel);

}  // namespace zelvaro
