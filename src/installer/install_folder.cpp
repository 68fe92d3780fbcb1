#include "installer/install_folder.h"

#include <windows.h>

#include <cstring>

#include "base/registry_string.h"

namespace zelvaro {

const char kFoldersKey[] = "Software\\Quorrel\\Zelvaro\\CurrentVersion\\Folders";

void ComputeInstallFolder(char* destination) {
    static const char kTail[] = "\\Quorrel\\Zelvaro";
    char folder[kInstallFolderSize] = "C:\\Zelvaro";
    char programFiles[kInstallFolderSize];
    // The settings file name must still fit behind the program folder within
    // the system's path limit, which counts UTF-16 units, not UTF-8 bytes.
    if (ReadRegistryString(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion", "ProgramFilesDir",
                           programFiles, sizeof programFiles) &&
        PathUnits(programFiles) + std::strlen(kTail) + std::strlen("\\settings.ini") < kPathUnits) {
        CreateDirectoryA(programFiles, nullptr);
        std::strcat(programFiles, "\\Quorrel");
        CreateDirectoryA(programFiles, nullptr);
        std::strcat(programFiles, "\\Zelvaro");
        std::strcpy(folder, programFiles);
    }
    // No access list of its own: a folder that every user could write would
    // let any of them replace the program, or put a library beside it, that an
    // administrator's next setup or uninstall run then starts.
    CreateDirectoryA(folder, nullptr);
    std::strcpy(destination, folder);
}

}  // namespace zelvaro
