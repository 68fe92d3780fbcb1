// Reading one string value of the registry (Windows only).
#pragma once

#include <windows.h>

namespace zelvaro {

// Reads the string value `valueName` of `keyName` under `root` into buffer
// (capacity bytes, terminator included). False when the key or value is
// missing, is not a string, or does not fit. Registry strings need not be
// stored with their terminator, so one is always added.
bool ReadRegistryString(HKEY root, const char* keyName, const char* valueName, char* buffer, DWORD capacity);

}  // namespace zelvaro
