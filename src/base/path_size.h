// How much room a path takes in the programs' UTF-8 code page.
#pragma once

#include <cstddef>
#include <string>

namespace zelvaro {

// The system's path limit (MAX_PATH), in UTF-16 units with the terminator.
constexpr size_t kPathUnits = 260;

// Bytes that hold any path within that limit, with the terminator: a UTF-16
// unit takes up to three bytes in UTF-8 (a surrogate pair four for its two).
constexpr size_t kPathBytes = 3 * (kPathUnits - 1) + 1;

// The length of `path` (in the programs' code page) in UTF-16 units, as the
// system's path limit counts it; the byte count where it is not valid text.
size_t PathUnits(const std::string& path);

}  // namespace zelvaro
