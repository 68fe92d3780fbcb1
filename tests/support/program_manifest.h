// The manifest a built program carries (resource type 24, id 1), as Windows
// reads it before the program runs; empty when it has none.
#pragma once

#include <windows.h>

#include <string>

namespace zelvaro::test {

inline std::string ManifestOf(const std::string& path) {
    HMODULE module = LoadLibraryExA(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    if (!module) return {};
    std::string text;
    if (HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24))) {
        const void* bytes = LockResource(LoadResource(module, found));
        if (bytes) text.assign(static_cast<const char*>(bytes), SizeofResource(module, found));
    }
    FreeLibrary(module);
    return text;
}

}  // namespace zelvaro::test
