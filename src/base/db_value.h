// Decibel values as the settings file, the volume edit control and the mixer
// see them: a signed 8-bit whole number of decibels, where -127 means off.
#pragma once

#include <cstddef>
#include <cstdint>

namespace zelvaro {

using DbValue = int8_t;

// The lowest value; shown as "--dB" and meaning minus infinity.
constexpr DbValue kDbOff = -127;

// Room for the longest text form, "-126dB", and its terminator.
constexpr size_t kDbTextSize = 8;

// Reads "%ddB" and "--dB" texts leniently: every character other than a
// minus sign or a digit is skipped, a second minus sign means off, and the
// result is clamped to -127..127. Empty or non-numeric text gives 0.
DbValue ParseDbText(const char* text);

// Writes "--dB" for -127 and below, else the value followed by "dB".
void FormatDbText(DbValue value, char* out, size_t size);

}  // namespace zelvaro
