// Where the settings file lives: the data folder named in the registry, or
// the program's own folder (ComputeInstallFolder, with the folders key) when
// there is none.
#pragma once

#include <cstddef>

#include "base/path_size.h"

namespace zelvaro {

constexpr size_t kSettingsPathSize = kPathBytes;

// Full path of "settings.ini", computed once at start by ComputeSettingsPath
// and passed to every profile call.
extern char settingsPath[kSettingsPathSize];

// Data folder + "\settings.ini" into destination (size characters). The data
// folder is the "DataFiles" value, or ComputeInstallFolder when the value is
// missing, unreadable or too long to hold the file name behind it.
void ComputeSettingsPath(char* destination, size_t size);

}  // namespace zelvaro
