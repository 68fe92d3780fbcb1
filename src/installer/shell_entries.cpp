#include "base/little_endian.h"
#include "installer/shell_entries.h"

#include <objbase.h>
#include <knownfolders.h>
#include <shlobj.h>

#include <cstring>

#include "base/path_size.h"
#include "base/registry_string.h"
#include "installer/install_folder.h"
#include "installer/setup_layout.h"

namespace zelvaro {

namespace {

constexpr char kShellFoldersKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";

bool ReadString(HKEY root, const char* keyName, const char* valueName, std::string& value) {
    char buffer[kPathBytes];
    if (!ReadRegistryString(root, keyName, valueName, buffer, sizeof buffer))
        return false;
    value = buffer;
    return true;
}

void SetString(HKEY key, const char* name, const char* value) {
    RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value),
                   static_cast<DWORD>(std::strlen(value) + 1));
}

std::string FolderFrom(UINT (WINAPI* query)(LPSTR, UINT)) {
    char buffer[MAX_PATH] = {};
    const UINT length = query(buffer, MAX_PATH);
    return length > 0 && length < MAX_PATH ? buffer : "";
}

std::string ShellFolder(int id) {
    char buffer[MAX_PATH] = {};
    return SUCCEEDED(SHGetFolderPathA(nullptr, id, nullptr, SHGFP_TYPE_CURRENT, buffer)) ? buffer : "";
}

std::string KnownFolder(REFKNOWNFOLDERID id) {
    std::string folder;
    wchar_t* wide = nullptr;
    if (SUCCEEDED(SHGetKnownFolderPath(id, 0, nullptr, &wide))) {
        char buffer[MAX_PATH] = {};
        if (WideCharToMultiByte(CP_ACP, 0, wide, -1, buffer, MAX_PATH, nullptr, nullptr) > 0)
            folder = buffer;
    }
    CoTaskMemFree(wide);
    return folder;
}

}  // namespace

std::string DesktopFolder() {
    std::string folder = "c:\\Windows\\Desktop";
    std::string value;
    if (ReadString(HKEY_CURRENT_USER, kShellFoldersKey, "Desktop", value))
        folder = value;
    if (ReadString(HKEY_LOCAL_MACHINE, kShellFoldersKey, "Common Desktop", value))
        folder = value;
    return folder;
}

std::string ShortcutPath() { return DesktopFolder() + "\\Zelvaro.lnk"; }

bool CreateShortcut(const char* target, const std::string& shortcut) {
    const HRESULT initialised = CoInitialize(nullptr);
    bool saved = false;
    IShellLinkA* link = nullptr;
    if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                   reinterpret_cast<void**>(&link)))) {
        link->SetPath(target);
        IPersistFile* file = nullptr;
        if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
            wchar_t wide[MAX_PATH] = {};
            if (MultiByteToWideChar(CP_ACP, 0, shortcut.c_str(), -1, wide, MAX_PATH) > 0)
                saved = SUCCEEDED(file->Save(wide, TRUE));
            file->Release();
        }
        link->Release();
    }
    if (SUCCEEDED(initialised))
        CoUninitialize();
    return saved;
}

void WriteFolderValues(const char* folder) {
    HKEY key = nullptr;
    char emptyClass[] = "";
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, kFoldersKey, 0, emptyClass, 0, KEY_ALL_ACCESS, nullptr, &key,
                        nullptr) != ERROR_SUCCESS)
        return;
    SetString(key, "ProgramFiles", folder);
    SetString(key, "DataFiles", folder);
    RegCloseKey(key);
}

std::string ReadFolderValue(const char* name) {
    std::string value;
    ReadString(HKEY_LOCAL_MACHINE, kFoldersKey, name, value);
    return value;
}

void AddUninstallEntry(const char* uninstaller) {
    HKEY parent = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kUninstallParentKey, 0, KEY_ALL_ACCESS, &parent) != ERROR_SUCCESS)
        return;
    HKEY entry = nullptr;
    DWORD disposition = 0;
    if (RegCreateKeyExA(parent, kUninstallSubkey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &entry,
                        &disposition) == ERROR_SUCCESS) {
        if (disposition == REG_CREATED_NEW_KEY) {
            SetString(entry, "DisplayName", "Zelvaro Uninstall");
            SetString(entry, "UninstallString", uninstaller);
        }
        RegCloseKey(entry);
    }
    RegCloseKey(parent);
}

void RemoveUninstallEntry() {
    HKEY parent = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kUninstallParentKey, 0, KEY_ALL_ACCESS, &parent) != ERROR_SUCCESS)
        return;
    RegDeleteKeyA(parent, kUninstallSubkey);
    RegCloseKey(parent);
}

bool AppendMarker(const char* path, uint32_t marker) {
    HANDLE file = CreateFileA(path, FILE_APPEND_DATA, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    uint8_t bytes[4];
    putLe32(bytes, marker);
    DWORD written = 0;
    const bool ok = WriteFile(file, bytes, sizeof bytes, &written, nullptr) && written == sizeof bytes;
    CloseHandle(file);
    return ok;
}

ProtectedFolders ProtectedFoldersOfThisMachine() {
    ProtectedFolders folders;
    folders.trees = {FolderFrom(GetWindowsDirectoryA), FolderFrom(GetSystemDirectoryA),
                     FolderFrom(GetSystemWow64DirectoryA)};
    char temporary[MAX_PATH + 1] = {};
    const DWORD length = GetTempPathA(MAX_PATH, temporary);
    if (length > 0 && length < MAX_PATH)
        folders.trees.push_back(temporary);
    // Any of them may have been moved away from the profile that holds the rest.
    for (int id : {CSIDL_PROFILE, CSIDL_PERSONAL, CSIDL_DESKTOPDIRECTORY, CSIDL_MYMUSIC, CSIDL_MYPICTURES,
                   CSIDL_MYVIDEO, CSIDL_FAVORITES, CSIDL_APPDATA, CSIDL_LOCAL_APPDATA, CSIDL_STARTMENU,
                   CSIDL_COMMON_DESKTOPDIRECTORY, CSIDL_COMMON_DOCUMENTS, CSIDL_COMMON_STARTMENU, CSIDL_FONTS,
                   CSIDL_PROGRAM_FILES_COMMON, CSIDL_PROGRAM_FILES_COMMONX86})
        folders.trees.push_back(ShellFolder(id));
    for (REFKNOWNFOLDERID id : {FOLDERID_UserProfiles, FOLDERID_Downloads, FOLDERID_Public})
        folders.trees.push_back(KnownFolder(id));
    for (int id : {CSIDL_PROGRAM_FILES, CSIDL_PROGRAM_FILESX86, CSIDL_COMMON_APPDATA})
        folders.roots.push_back(ShellFolder(id));
    // A 32-bit program is told the 32-bit program files folder only.
    char programFiles64[MAX_PATH] = {};
    const DWORD length64 = GetEnvironmentVariableA("ProgramW6432", programFiles64, MAX_PATH);
    if (length64 > 0 && length64 < MAX_PATH)
        folders.roots.push_back(programFiles64);
    return folders;
}

bool RemoveProgramFiles(const std::string& folder, const ProtectedFolders& protectedFolders) {
    if (PathUnits(folder) >= MAX_PATH - 4 || IsProtectedFolder(folder, protectedFolders))
        return false;
    // Held without delete sharing while the files go, so that the folder
    // cannot be renamed and replaced by a junction after the checks.
    HANDLE handle = CreateFileA(folder.c_str(), FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES,
                                FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return false;
    FolderFacts facts;
    BY_HANDLE_FILE_INFORMATION information = {};
    char finalPath[2 * kPathBytes] = {};
    const DWORD finalLength =
        GetFinalPathNameByHandleA(handle, finalPath, sizeof finalPath, FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    if (GetFileInformationByHandle(handle, &information) && finalLength > 0 && finalLength < sizeof finalPath) {
        facts.attributes = information.dwFileAttributes;
        facts.finalPath = finalPath;
    }
    if (!MayRemoveFrom(folder, facts, protectedFolders)) {
        CloseHandle(handle);
        return false;
    }
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + "\\*.*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            if (MayDeleteFile(found.cFileName, found.dwFileAttributes))
                DeleteFileA((folder + "\\" + found.cFileName).c_str());
        } while (FindNextFileA(search, &found));
        FindClose(search);
    }
    CloseHandle(handle);
    // Fails, and so keeps the folder, while anything of the user's is left in it.
    RemoveDirectoryA(folder.c_str());
    return true;
}

}  // namespace zelvaro
