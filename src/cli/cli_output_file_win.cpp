#include <windows.h>

#include <cctype>

#include "cli/cli_output_file.h"

namespace zelvaro::cli {

namespace {

bool sameLetters(const std::string& a, const char* b) {
    size_t i = 0;
    for (; i < a.size() && b[i] != '\0'; ++i)
        if (std::toupper(static_cast<unsigned char>(a[i])) != b[i]) return false;
    return i == a.size() && b[i] == '\0';
}

}  // namespace

// The reserved names stand for devices in every folder and with any extension.
bool isDeviceName(const std::string& path) {
    if (path.rfind("\\\\.\\", 0) == 0) return true;
    const size_t slash = path.find_last_of("\\/:");
    std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
    base = base.substr(0, base.find('.'));
    while (!base.empty() && base.back() == ' ') base.pop_back();
    static const char* const kNames[] = {"CON",  "PRN",  "AUX",  "NUL",  "CONIN$", "CONOUT$", "COM1", "COM2",
                                         "COM3", "COM4", "COM5", "COM6", "COM7",   "COM8",    "COM9", "LPT1",
                                         "LPT2", "LPT3", "LPT4", "LPT5", "LPT6",   "LPT7",    "LPT8", "LPT9"};
    for (const char* name : kNames)
        if (sameLetters(base, name)) return true;
    return false;
}

int moveOver(const std::string& from, const std::string& to) {
    if (MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) return 0;
    return static_cast<int>(GetLastError());
}

unsigned long processId() { return GetCurrentProcessId(); }

}  // namespace zelvaro::cli
