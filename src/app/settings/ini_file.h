// Typed access to the settings file through the private profile calls. Every
// value is read when it is needed and written when it changes; nothing is
// cached. The path passed is always settingsPath.
#pragma once

#include "base/db_value.h"

namespace zelvaro {

// Room the profile calls get for one value; longer texts are cut to 258 characters.
constexpr unsigned kIniTextSize = 259;

// Decimal text read like a standard text-to-integer conversion: leading
// blanks, an optional sign, digits up to the first other character; no
// digits gives 0, and values past the int range saturate.
int ReadIniInt(const char* path, const char* section, const char* key, int defaultValue);
void WriteIniInt(const char* path, const char* section, const char* key, int value);

// True only when the text equals "true", ignoring letter case.
bool ReadIniBool(const char* path, const char* section, const char* key, bool defaultValue);

// "%ddB" or "--dB", parsed with ParseDbText.
DbValue ReadIniDb(const char* path, const char* section, const char* key, DbValue defaultValue);
void WriteIniDb(const char* path, const char* section, const char* key, DbValue value);

// The integer conversion ReadIniInt uses, on its own.
int ParseIniInt(const char* text);

}  // namespace zelvaro
