// Text typed or stored as a plain decimal number, read without the C
// library's leniency (no blanks, no sign or exponent where none belongs).
#pragma once

#include <string>

namespace zelvaro {

// True for one or more of the digits 0 to 9 and nothing else.
inline bool allDigits(const std::string& text) {
    if (text.empty()) return false;
    for (char c : text)
        if (c < '0' || c > '9') return false;
    return true;
}

}  // namespace zelvaro
