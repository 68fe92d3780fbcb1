// Per-channel loudness of the block being heard, in whole decibels. The mean
// squares come from signal/block_level.h; this turns one into a level.
#pragma once

#include <cstdint>

namespace zelvaro {

// Levels of one block: count channels measured, each -127 (silence) to 127 dB.
struct ChannelLevels {
    uint8_t count;
    int8_t levels[256];
};

// Whole decibels relative to a mean square of 8,388,626, rounded half away
// from zero and clamped to -127..127; a mean square of 0 gives -127.
int8_t levelFromMeanSquare(uint32_t meanSquare);

}  // namespace zelvaro
