#include "app/settings/settings_path.h"

#include "app/settings/shared_folder_security.h"

#include <windows.h>

#include <cstring>

namespace zelvaro {

char settingsPath[kSettingsPathSize];

const char kFoldersKey[] = "Software\\Quorrel\\Zelvaro\\CurrentVersion\\Folders";

namespace {

const char kSettingsFileName[] = "\\settings.ini";

// Reads a string value into buffer (capacity bytes, terminator included).
// Registry strings need not be terminated, so the terminator is added here.
bool readRegistryString(HKEY root, const char* keyName, const char* valueName, char* buffer,
                        DWORD capacity) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, keyName, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    DWORD type = 0;
    DWORD size = capacity - 1;
    const LONG result =
        RegQueryValueExA(key, valueName, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size);
    RegCloseKey(key);
    if (result != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ))
        return false;
    buffer[size < capacity ? size : capacity - 1] = '\0';
    return true;
}

bool append(char* buffer, size_t capacity, const char* tail) {
    const size_t used = std::strlen(buffer);
    const size_t extra = std::strlen(tail);
    if (used + extra + 1 > capacity)
        return false;
    std::memcpy(buffer + used, tail, extra + 1);
    return true;
}

// Creates the folder unless it exists, open to every user of the machine.
void createSharedFolder(const char* path) {
    SharedFolderSecurity security;
    CreateDirectoryA(path, security.attributes());
}

}  // namespace

void ComputeInstallFolder(char* destination) {
    char folder[kSettingsPathSize];
    std::strcpy(folder, "C:\\Zelvaro");
    char programFiles[kSettingsPathSize];
    // The program files folder takes at most 256 bytes; with "\Quorrel\Zelvaro"
    // and the settings file name behind it the path must still fit, or the
    // short default is used.
    if (readRegistryString(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion",
                           "ProgramFilesDir", programFiles, 257) &&
        std::strlen(programFiles) + std::strlen("\\Quorrel\\Zelvaro") +
                std::strlen(kSettingsFileName) < kSettingsPathSize) {
        CreateDirectoryA(programFiles, nullptr);
        append(programFiles, sizeof programFiles, "\\Quorrel");
        CreateDirectoryA(programFiles, nullptr);
        append(programFiles, sizeof programFiles, "\\Zelvaro");
        std::strcpy(folder, programFiles);
    }
    createSharedFolder(folder);
    std::strcpy(destination, folder);
}

void ComputeSettingsPath(char* destination, size_t size) {
    if (destination == nullptr || size == 0)
        return;
    char path[kSettingsPathSize];
    if (!readRegistryString(HKEY_LOCAL_MACHINE, kFoldersKey, "DataFiles", path, sizeof path) ||
        !append(path, sizeof path, kSettingsFileName)) {
        ComputeInstallFolder(path);
        append(path, sizeof path, kSettingsFileName);
    }
    const size_t length = std::strlen(path);
    if (length + 1 > size) {
        destination[0] = '\0';
        return;
    }
    std::memcpy(destination, path, length + 1);
}

}  // namespace zelvaro
