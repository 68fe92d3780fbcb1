// Which job the executable does, chosen by the last four bytes of its own
// file: the installed program carries none of the two markers; the setup file
// and the uninstaller's copy carry one.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "installer/setup_layout.h"

namespace zelvaro {

constexpr uint32_t kInstallMarker = kSetupMarkerInstall;
constexpr uint32_t kUninstallMarker = kSetupMarkerUninstall;

enum class ProgramRole { Application, Install, Uninstall, CorruptSetup };

// The last 4 bytes of the file as a little-endian number; 0 when the file
// cannot be opened or is shorter than 4 bytes.
uint32_t readTrailerMarker(const char* path);

// The file name without folder and extension, upper-cased.
std::string upperBaseName(const char* path);

// A file named like a setup file ("SETUP" in its name) must carry the install
// marker; otherwise the download was damaged.
ProgramRole chooseRole(const std::string& upperName, uint32_t marker);

// Makes the executable's folder the current directory and the program's
// folder (program_folder.h), and gives the role from the executable's name
// and trailer.
ProgramRole chooseProgramRole();

// The jobs of the two installer roles; each returns the exit code.
int runInstallRole();
int runUninstallRole();

}  // namespace zelvaro
