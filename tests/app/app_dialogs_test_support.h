// What the Save As Wav and Play Settings tests share: a private folder with
// its own settings file, a window standing for the main window, and files
// read back whole.
#pragma once

#include <windows.h>

#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "app/settings/settings_path.h"
#include "tests/support/owner_window.h"

namespace zelvaro::test {

// A fresh folder under the temporary folder; settingsPath points into it.
class ScratchFolder {
public:
    explicit ScratchFolder(const char* name) {
        char temp[MAX_PATH] = {};
        GetTempPathA(MAX_PATH, temp);
        path = std::string(temp) + name + "-" + std::to_string(GetCurrentProcessId()) + "\\";
        CreateDirectoryA(path.c_str(), nullptr);
        savedSettingsPath = settingsPath;
        const std::string ini = file("settings.ini");
        lstrcpynA(settingsPath, ini.c_str(), kSettingsPathSize);
    }
    ~ScratchFolder() {
        lstrcpynA(settingsPath, savedSettingsPath.c_str(), kSettingsPathSize);
        WIN32_FIND_DATAA found;
        HANDLE search = FindFirstFileA((path + "*").c_str(), &found);
        if (search != INVALID_HANDLE_VALUE) {
            do {
                if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) DeleteFileA(file(found.cFileName).c_str());
            } while (FindNextFileA(search, &found));
            FindClose(search);
        }
        RemoveDirectoryA(path.c_str());
    }
    std::string file(const std::string& name) const { return path + name; }

    std::string path;

private:
    std::string savedSettingsPath;
};

inline bool fileExists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

inline std::vector<uint8_t> readAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline std::string iniValue(const char* key) {
    char value[260] = {};
    GetPrivateProfileStringA("settings", key, "<missing>", value, sizeof value, settingsPath);
    return value;
}

}  // namespace zelvaro::test
