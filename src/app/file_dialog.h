// The common open and save dialogs as the program's commands use them.
#pragma once

#include <windows.h>

namespace zelvaro {

// Longest path the commands keep (the settings hold it with its terminator).
constexpr DWORD kFileNameSize = 259;

struct FileDialogRequest {
    bool save = false;
    const char* title = "";
    // Pairs of description and pattern, ending in an empty string.
    const char* filter = "";
    const char* defaultExtension = "";
    const char* initialFolder = "";
};

// Shows the dialog, starting with the name already in `path`; true when the
// user chose a file, whose full name is then in `path`. Only the open dialog
// insists on an existing file: a save must be able to make a new one.
bool askFileName(HWND owner, const FileDialogRequest& request, char (&path)[kFileNameSize]);

}  // namespace zelvaro
