#include "cli/cli_decimal.h"

#include <cctype>
#include <cmath>
#include <cstdlib>

namespace zelvaro::cli {

std::optional<double> parseDecimal(const std::string& text, double low, double high) {
    // strtod also takes blanks, hexadecimal and "inf": only plain decimals here.
    if (text.empty() || text.size() > 64)
        return std::nullopt;
    for (char c : text)
        if (!std::isdigit(static_cast<unsigned char>(c)) && c != '.' && c != '-' && c != '+' && c != 'e' && c != 'E')
            return std::nullopt;
    char* end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    if (end != text.c_str() + text.size() || !std::isfinite(value) || value < low || value > high)
        return std::nullopt;
    return value;
}

}  // namespace zelvaro::cli
