// How the measurement code (impulse/, measure/) reads a level of nothing.
// Two facts, not one: a figure printed in place of a level that does not
// exist, and a guard that keeps a logarithm of 0 finite inside a figure.
#pragma once

namespace zelvaro {

// Printed where there is no level: the peak and RMS of a silent channel,
// the largest non-harmonic component when there is none (an SFDR with no
// spur prints its opposite, +999).
constexpr double kNoLevelDb = -999.0;

// Added to (or the least of) a power or an amplitude before its logarithm,
// so that 0 reads far below anything measured instead of -infinity: -3000 dB
// as a power, -6000 dB as an amplitude.
constexpr double kLogFloor = 1e-300;

}  // namespace zelvaro
