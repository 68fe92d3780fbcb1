#include "tone/file_replace.h"

#include <windows.h>
#include <aclapi.h>

#include <cstdio>

namespace zelvaro {

namespace {

volatile LONG tempCounter = 0;

// Creates a new file beside `path` that no one else uses; CREATE_NEW fails
// rather than reusing a name left behind by someone else.
HANDLE createTemp(const std::string& path, std::string& tempPath) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        char suffix[48];
        std::snprintf(suffix, sizeof suffix, ".%lu.%ld.tmp", GetCurrentProcessId(),
                      InterlockedIncrement(&tempCounter));
        tempPath = path + suffix;
        HANDLE file = CreateFileA(tempPath.c_str(), GENERIC_WRITE | WRITE_DAC, 0, nullptr, CREATE_NEW,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE || GetLastError() != ERROR_FILE_EXISTS) return file;
    }
    return INVALID_HANDLE_VALUE;
}

bool writeAll(HANDLE file, const uint8_t* data, size_t size) {
    while (size > 0) {
        const DWORD chunk = size > 0x10000000u ? 0x10000000u : static_cast<DWORD>(size);
        DWORD written = 0;
        if (!WriteFile(file, data, chunk, &written, nullptr) || written == 0) return false;
        data += written;
        size -= written;
    }
    return true;
}

// The replaced file's own rights go to its replacement, which would
// otherwise have only those its folder passes on: the users' right to write
// the tone, given to that file alone, would be lost to the first save.
bool copyRights(const std::string& from, HANDLE to) {
    PACL acl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (GetNamedSecurityInfoA(from.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, &acl,
                              nullptr, &descriptor) != ERROR_SUCCESS)
        return false;
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD revision = 0;
    GetSecurityDescriptorControl(descriptor, &control, &revision);
    // Entries the old file inherited are inherited again, not copied.
    const SECURITY_INFORMATION what = DACL_SECURITY_INFORMATION | ((control & SE_DACL_PROTECTED)
                                                                       ? PROTECTED_DACL_SECURITY_INFORMATION
                                                                       : UNPROTECTED_DACL_SECURITY_INFORMATION);
    const bool copied = SetSecurityInfo(to, SE_FILE_OBJECT, what, nullptr, nullptr, acl, nullptr) == ERROR_SUCCESS;
    LocalFree(descriptor);
    return copied;
}

// Overwrites an existing file where no file can be made beside it (a folder
// that its users may not write, holding a file that they may).
bool writeInPlace(const std::string& path, const uint8_t* data, size_t size) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    bool ok = writeAll(file, data, size) && SetEndOfFile(file) && FlushFileBuffers(file);
    ok = (CloseHandle(file) != 0) && ok;
    return ok;
}

// Makes a file that did not exist; a failed write takes it away again, since
// there was nothing before it to keep.
bool writeNew(const std::string& path, const uint8_t* data, size_t size) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    bool ok = writeAll(file, data, size) && FlushFileBuffers(file);
    ok = (CloseHandle(file) != 0) && ok;
    if (!ok) DeleteFileA(path.c_str());
    return ok;
}

bool isFile(const std::string& path) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

}  // namespace

bool replaceFileContents(const std::string& path, const uint8_t* data, size_t size) {
    if (path.empty()) return false;
    std::string tempPath;
    HANDLE file = createTemp(path, tempPath);
    // Only an existing file is written in place. A new name near the
    // system's path limit has no room for the temporary name's suffix: such a
    // file is made directly, as nothing is lost if its write fails.
    if (file == INVALID_HANDLE_VALUE)
        return isFile(path) ? writeInPlace(path, data, size) : writeNew(path, data, size);
    bool written = writeAll(file, data, size) && FlushFileBuffers(file) != 0;
    const bool replacing = isFile(path);
    const bool rightsKept = !replacing || copyRights(path, file);
    written = (CloseHandle(file) != 0) && written;
    if (written && rightsKept &&
        MoveFileExA(tempPath.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return true;
    DeleteFileA(tempPath.c_str());
    // A file that may be written but not replaced (no right to delete it), or
    // whose rights its replacement could not be given.
    return written && writeInPlace(path, data, size);
}

}  // namespace zelvaro
