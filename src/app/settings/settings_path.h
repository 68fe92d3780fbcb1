// Where the settings file lives: the data folder named in the registry, or
// the program's own folder when there is none.
#pragma once

#include <cstddef>

namespace zelvaro {

constexpr size_t kSettingsPathSize = 260;

// Full path of "settings.ini", computed once at start by ComputeSettingsPath
// and passed to every profile call.
extern char settingsPath[kSettingsPathSize];

// The registry key whose "DataFiles" (and "ProgramFiles") values name the
// program's folders, under HKEY_LOCAL_MACHINE.
extern const char kFoldersKey[];

// Data folder + "\settings.ini" into destination (size characters). The data
// folder is the "DataFiles" value, or ComputeInstallFolder when the value is
// missing, unreadable or too long to hold the file name behind it.
void ComputeSettingsPath(char* destination, size_t size);

// The default program folder: the system's program files folder +
// "\Quorrel\Zelvaro", else "C:\Zelvaro". The folder is created (with an access
// list that gives everyone full control, inherited by its contents) unless it
// exists. destination holds at least kSettingsPathSize characters.
void ComputeInstallFolder(char* destination);

}  // namespace zelvaro
