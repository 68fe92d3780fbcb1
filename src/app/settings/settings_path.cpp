#include "app/settings/settings_path.h"

#include <windows.h>

#include <cstring>

#include "base/registry_string.h"
#include "installer/install_folder.h"

namespace zelvaro {

char settingsPath[kSettingsPathSize];

namespace {

const char kSettingsFileName[] = "\\settings.ini";

bool append(char* buffer, size_t capacity, const char* tail) {
    const size_t used = std::strlen(buffer);
    const size_t extra = std::strlen(tail);
    if (used + extra + 1 > capacity)
        return false;
    std::memcpy(buffer + used, tail, extra + 1);
    return true;
}

}  // namespace

void ComputeSettingsPath(char* destination, size_t size) {
    if (destination == nullptr || size == 0)
        return;
    char path[kSettingsPathSize];
    // The buffer holds any path in bytes; the system's limit counts units.
    if (!ReadRegistryString(HKEY_LOCAL_MACHINE, kFoldersKey, "DataFiles", path, sizeof path) ||
        !append(path, sizeof path, kSettingsFileName) || PathUnits(path) >= kPathUnits) {
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
