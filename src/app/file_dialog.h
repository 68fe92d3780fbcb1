// The common open and save dialogs as the program's commands use them.
#pragma once

#include <windows.h>

#include <string>

#include "base/path_size.h"

namespace zelvaro {

// Longest path the commands keep, in bytes with its terminator: any path
// within the system's limit in the programs' UTF-8 code page. The settings
// and the dialogs' buffers hold it whole, never cut inside a character.
constexpr DWORD kFileNameSize = static_cast<DWORD>(kPathBytes);

struct FileDialogRequest {
    bool save = false;
    const char* title = "";
    // Pairs of description and pattern, ending in an empty string.
    const char* filter = "";
    const char* defaultExtension = "";
};

// Shows the dialog, starting with the name already in `path`, in the folder
// of the last file chosen in any of the program's file dialogs (the setting
// "filedir"). True when the user chose a file: its full name is then in
// `path`, and its folder becomes "filedir". Only the open dialog insists on
// an existing file: a save must be able to make a new one.
bool askFileName(HWND owner, const FileDialogRequest& request, char (&path)[kFileNameSize]);

// The drive and folder of `path` with the folder's trailing backslash, without
// the file name; empty when `path` names no folder.
std::string folderOf(const char* path);

}  // namespace zelvaro
