#include "base/ascii_path.h"

#include <windows.h>

namespace zelvaro {

namespace {
bool isAscii(const std::string& text) {
    for (char c : text)
        if (static_cast<unsigned char>(c) >= 0x80)
            return false;
    return true;
}
}  // namespace

std::string AsciiPathOf(const std::string& path) {
    if (isAscii(path))
        return path;
    wchar_t wide[MAX_PATH] = {};
    wchar_t shortName[MAX_PATH] = {};
    if (!MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, path.c_str(), -1, wide, MAX_PATH))
        return "";
    const DWORD length = GetShortPathNameW(wide, shortName, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return "";
    std::string ascii;
    for (const wchar_t* c = shortName; *c; ++c) {
        if (*c >= 0x80)
            return "";
        ascii += static_cast<char>(*c);
    }
    return ascii;
}

}  // namespace zelvaro
