// What every fuzz target of the file readers needs: a scratch file of its
// own to hand the input to a reader that takes a path, and a check that
// stops the run on a broken property.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>

namespace zelvaro::fuzz {

// A file in the temporary folder that no other process uses.
inline std::string scratchPath(const std::string& tag) {
    static const std::filesystem::path dir = std::filesystem::temp_directory_path();
    return (dir / ("zelvaro-fuzz-" + tag + "-" + std::to_string(::getpid()) + ".wav")).string();
}

inline bool writeInput(const std::string& path, const uint8_t* data, size_t size) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    const bool ok = std::fwrite(data, 1, size, f) == size;
    return std::fclose(f) == 0 && ok;
}

inline void check(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "property violated: %s\n", what);
        std::abort();
    }
}

}  // namespace zelvaro::fuzz
