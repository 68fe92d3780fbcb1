// π for the signal and measurement code of both chains.
#pragma once

namespace zelvaro {

constexpr double kPi = 3.14159265358979323846;
// The same in extended precision, for what is computed in long double: the
// fixed-point chain's filter design and the double oscillator's phase angle,
// whose samples are bit-exact and would change with a rounded π.
constexpr long double kPiExtended = 3.141592653589793238462643383279502884L;

}  // namespace zelvaro
