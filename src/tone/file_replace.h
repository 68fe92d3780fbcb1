// Whole-file replacement that does not leave a truncated file in place of a
// good one wherever it can: the data goes to a temporary file in the target's
// folder, is flushed to disk, and only then takes the target's name, keeping
// the target's own access rights (Windows).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace zelvaro {

// Returns true when `path` now holds exactly `size` bytes of `data`. Where no
// temporary file can be made beside an existing file (a folder its user may
// not write, holding a file the user may), or it cannot take the file's name
// or rights, the file is overwritten in place instead; a new file whose name
// leaves no room for a temporary one beside it (the system's path limit) is
// made directly. On any other failure the temporary file is removed and the
// old file (if any) is untouched.
bool replaceFileContents(const std::string& path, const uint8_t* data, size_t size);

}  // namespace zelvaro
