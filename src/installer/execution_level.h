// The setup file and the uninstaller are the program's own bytes, but they
// change the program files folder and must ask for administrator rights,
// while the program runs with the rights of whoever starts it. The manifest
// that every program carries names its level with blanks to spare, so that
// the level can be changed in place without moving a byte of the image.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace zelvaro {

enum class ExecutionLevel { kAsInvoker, kRequireAdministrator };

// Sets the execution level in the manifest inside `image`. False, with
// `image` unchanged, unless it holds exactly one execution level of the
// program's manifest (a build without it, or a damaged file).
bool setExecutionLevel(std::vector<uint8_t>& image, ExecutionLevel level);

// The same for the file at `path`, rewritten in place; an error when it
// cannot be read, has no such level, or cannot be written.
struct ExecutionLevelResult {
    std::string error;  // empty when it worked
};
ExecutionLevelResult setFileExecutionLevel(const std::string& path, ExecutionLevel level);

}  // namespace zelvaro
