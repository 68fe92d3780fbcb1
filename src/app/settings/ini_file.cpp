#include "app/settings/ini_file.h"

#include <windows.h>

#include <climits>
#include <cstdio>

namespace zelvaro {

namespace {

// ASCII only, so the answer does not depend on the user's locale.
bool equalsIgnoringCase(const char* a, const char* b) {
    for (;; ++a, ++b) {
        char x = *a, y = *b;
        if (x >= 'A' && x <= 'Z')
            x = static_cast<char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z')
            y = static_cast<char>(y - 'A' + 'a');
        if (x != y)
            return false;
        if (x == '\0')
            return true;
    }
}

}  // namespace

int ParseIniInt(const char* text) {
    if (text == nullptr)
        return 0;
    const char* p = text;
    while (*p == ' ' || *p == '\t' || *p == '\n' || *p == '\r' || *p == '\v' || *p == '\f')
        ++p;
    bool negative = false;
    if (*p == '+' || *p == '-') {
        negative = *p == '-';
        ++p;
    }
    // Accumulated as a negative number so that INT_MIN itself fits.
    long long value = 0;
    for (; *p >= '0' && *p <= '9'; ++p) {
        value = value * 10 - (*p - '0');
        if (value < static_cast<long long>(INT_MIN) - 1)
            value = static_cast<long long>(INT_MIN) - 1;
    }
    if (!negative)
        value = -value;
    if (value > INT_MAX)
        return INT_MAX;
    if (value < INT_MIN)
        return INT_MIN;
    return static_cast<int>(value);
}

int ReadIniInt(const char* path, const char* section, const char* key, int defaultValue) {
    char defaultText[16];
    std::snprintf(defaultText, sizeof defaultText, "%d", defaultValue);
    char text[kIniTextSize];
    GetPrivateProfileStringA(section, key, defaultText, text, sizeof text, path);
    return ParseIniInt(text);
}

void WriteIniInt(const char* path, const char* section, const char* key, int value) {
    char text[16];
    std::snprintf(text, sizeof text, "%d", value);
    WritePrivateProfileStringA(section, key, text, path);
}

bool ReadIniBool(const char* path, const char* section, const char* key, bool defaultValue) {
    // A full-size buffer: a short one would cut "trueish" down to "true".
    char text[kIniTextSize];
    GetPrivateProfileStringA(section, key, defaultValue ? "true" : "", text, sizeof text, path);
    return equalsIgnoringCase(text, "true");
}

DbValue ReadIniDb(const char* path, const char* section, const char* key, DbValue defaultValue) {
    char defaultText[kDbTextSize];
    FormatDbText(defaultValue, defaultText, sizeof defaultText);
    char text[kIniTextSize];
    GetPrivateProfileStringA(section, key, defaultText, text, sizeof text, path);
    return ParseDbText(text);
}

void WriteIniDb(const char* path, const char* section, const char* key, DbValue value) {
    char text[kDbTextSize];
    FormatDbText(value, text, sizeof text);
    WritePrivateProfileStringA(section, key, text, path);
}

}  // namespace zelvaro
