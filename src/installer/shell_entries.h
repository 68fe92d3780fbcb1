// The entries an installation makes outside its folder: registry values,
// the desktop shortcut, the uninstall entry; and the files' trailers.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "installer/folder_guard.h"

namespace zelvaro {

constexpr char kUninstallParentKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion";
constexpr char kUninstallSubkey[] = "Uninstall\\Zelvaro";

// The user's desktop, or the common desktop where the machine has one.
std::string DesktopFolder();
// DesktopFolder() + "\Zelvaro.lnk".
std::string ShortcutPath();

// A shell link at `shortcut` that starts `target`. COM is initialised for
// the call only.
bool CreateShortcut(const char* target, const std::string& shortcut);

// "ProgramFiles" and "DataFiles" of the folders key, both set to `folder`.
void WriteFolderValues(const char* folder);
// One of those values; empty when it cannot be read.
std::string ReadFolderValue(const char* name);

// Writes "DisplayName" and "UninstallString" only when the entry is new, so
// an existing entry keeps its values.
void AddUninstallEntry(const char* uninstaller);
void RemoveUninstallEntry();

// Appends the 4-byte little-endian role marker to the file.
bool AppendMarker(const char* path, uint32_t marker);

// The folders the uninstaller must keep out of, as this machine has them
// (some 25 questions to the shell: asked once per uninstall).
ProtectedFolders ProtectedFoldersOfThisMachine();
// Deletes the program's own files (MayDeleteFile) at the top of `folder`,
// then the folder when nothing else is left in it; a user's files and
// subfolders stay, and the folder with them. False, with nothing deleted,
// when the folder is protected, is a junction or link, or is reached through
// one (MayRemoveFrom).
bool RemoveProgramFiles(const std::string& folder, const ProtectedFolders& protectedFolders);

}  // namespace zelvaro
