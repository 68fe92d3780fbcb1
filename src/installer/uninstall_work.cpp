// The uninstall run's job. The installed uninstaller cannot delete the folder
// it runs from, so it hands over to a copy of itself in the temporary folder.
#include "installer/setup_dialog.h"

#include <cstdio>
#include <string>

#include "base/path_size.h"
#include "installer/shell_entries.h"

namespace zelvaro {

int UninstallDialog::Work() {
    if (!hasArgument)
        return SpawnTemporaryCopy() ? 1 : 0;
    if (Pump())
        return 0;
    Sleep(150);
    if (MessageBoxA(window, "Are you sure you want to remove Zelvaro from this computer?", "Uninstall Zelvaro",
                    MB_YESNO | MB_ICONERROR) != IDYES)
        return 0;
    RemoveInstallation();
    return 1;
}

bool UninstallDialog::SpawnTemporaryCopy() {
    char self[kPathBytes] = {};
    char temporary[kPathBytes] = {};
    const DWORD selfLength = GetModuleFileNameA(nullptr, self, sizeof self);
    const DWORD temporaryLength = GetTempPathA(sizeof temporary, temporary);
    if (selfLength == 0 || selfLength >= sizeof self || temporaryLength == 0 || temporaryLength >= sizeof temporary)
        return false;
    std::string copy = temporary;
    if (copy.back() == '\\')
        copy.pop_back();
    copy += "\\uninst.exe";
    CopyFileA(self, copy.c_str(), FALSE);
    // Quoted: the temporary folder's path may hold spaces.
    std::string commandLine = "\"" + copy + "\" /uninstall";
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(copy.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &process))
        return false;
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return true;
}

void UninstallDialog::RemoveInstallation() {
    DeleteFileA(ShortcutPath().c_str());
    RemoveUninstallEntry();
    char command[256];
    for (const char* item : {"Zelvaro", "Zelvaro Help"}) {
        std::snprintf(command, sizeof command, "[CreateGroup(\"Zelvaro\")][DeleteItem(\"%s\")]", item);
        ProgmanCommand(command);
    }
    ProgmanCommand("[DeleteGroup(\"Zelvaro\")]");
    // A folder value that is empty, relative, a drive, or a system folder is
    // refused and left alone; in the others only the program's files go.
    const ProtectedFolders protectedFolders = ProtectedFoldersOfThisMachine();
    for (const char* value : {"DataFiles", "ProgramFiles"})
        RemoveProgramFiles(ReadFolderValue(value), protectedFolders);
}

}  // namespace zelvaro
