// The level both sample chains meet at: the int32 chain's full scale, which
// the double-precision chain calls 1.0.
#pragma once

namespace zelvaro {

// The int32 chain's full scale (a 16-bit value times 16), which is 1.0 in
// the double-precision chain: a chain sample divided by it is a pure one.
constexpr double kChainFullScale = 524288.0;

}  // namespace zelvaro
