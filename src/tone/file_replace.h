// Whole-file replacement that never leaves a truncated file in place of a good
// one: the data goes to a temporary file in the target's folder, is flushed to
// disk, and only then takes the target's name.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace zelvaro {

// Returns true when `path` now holds exactly `size` bytes of `data`. On any
// failure the temporary file is removed and the old file (if any) is untouched.
bool replaceFileContents(const std::string& path, const uint8_t* data, size_t size);

}  // namespace zelvaro
