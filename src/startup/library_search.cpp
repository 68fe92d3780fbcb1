#include "startup/library_search.h"

#include <windows.h>

namespace zelvaro {

void LoadLibrariesFromSystemFolderOnly() {
    // Looked up: systems before Windows 8 have it only with an update.
    using SetDefaultDllDirectoriesFunction = BOOL(WINAPI*)(DWORD);
    const auto setDefaultDllDirectories = reinterpret_cast<SetDefaultDllDirectoriesFunction>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "SetDefaultDllDirectories")));
    if (setDefaultDllDirectories)
        setDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
    // Without it, at least the current folder leaves the search.
    SetDllDirectoryA("");
}

}  // namespace zelvaro
