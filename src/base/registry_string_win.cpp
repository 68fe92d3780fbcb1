#include "base/registry_string.h"

namespace zelvaro {

bool ReadRegistryString(HKEY root, const char* keyName, const char* valueName, char* buffer, DWORD capacity) {
    if (buffer == nullptr || capacity == 0)
        return false;
    buffer[0] = '\0';
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, keyName, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    DWORD type = 0;
    DWORD size = capacity - 1;
    const LONG result = RegQueryValueExA(key, valueName, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size);
    RegCloseKey(key);
    if (result != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ)) {
        buffer[0] = '\0';
        return false;
    }
    buffer[size < capacity ? size : capacity - 1] = '\0';
    return true;
}

}  // namespace zelvaro
