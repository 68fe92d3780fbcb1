// Decimal numbers on the command line: frequencies, seconds, decibels.
#pragma once

#include <optional>
#include <string>

namespace zelvaro::cli {

// The whole of `text` as a finite decimal number (an optional sign, digits,
// a point, an exponent) within [low, high]; nothing when it is not.
std::optional<double> parseDecimal(const std::string& text, double low, double high);

}  // namespace zelvaro::cli
