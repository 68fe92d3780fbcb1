#include "base/db_value.h"

#include <cstdio>

namespace zelvaro {

DbValue ParseDbText(const char* text) {
    // Anything past this already clamps to 127; capping keeps a long run of
    // digits from overflowing.
    constexpr int kMagnitudeCap = 100000;
    int magnitude = 0;
    bool negative = false;
    if (text != nullptr) {
        for (const char* p = text; *p != '\0'; ++p) {
            const char c = *p;
            if (c == '-') {
                if (negative)
                    magnitude = 127;
                negative = true;
            } else if (c >= '0' && c <= '9') {
                magnitude = magnitude * 10 + (c - '0');
                if (magnitude > kMagnitudeCap)
                    magnitude = kMagnitudeCap;
            }
        }
    }
    int value = negative ? -magnitude : magnitude;
    if (value > 127)
        value = 127;
    if (value < -127)
        value = -127;
    return static_cast<DbValue>(value);
}

void FormatDbText(DbValue value, char* out, size_t size) {
    if (out == nullptr || size == 0)
        return;
    if (value <= kDbOff)
        std::snprintf(out, size, "--dB");
    else
        std::snprintf(out, size, "%ddB", static_cast<int>(value));
}

}  // namespace zelvaro
