// The program's folder, where the install puts it and where the settings are
// found when the registry names none.
#pragma once

#include <cstddef>

#include "base/path_size.h"

namespace zelvaro {

constexpr size_t kInstallFolderSize = kPathBytes;

// The registry key whose "DataFiles" and "ProgramFiles" values name the
// program's folders, under HKEY_LOCAL_MACHINE.
extern const char kFoldersKey[];

// The default program folder: the system's program files folder +
// "\Quorrel\Zelvaro", else "C:\Zelvaro". The folder is created unless it
// exists, with the security that its parent gives it: administrators write,
// users read and run. destination holds at least kInstallFolderSize
// characters. A program files folder too long to hold "\settings.ini" behind
// the program folder gives the short default.
void ComputeInstallFolder(char* destination);

}  // namespace zelvaro
