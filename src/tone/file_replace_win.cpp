#include "tone/file_replace.h"

#include <windows.h>

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
        HANDLE file = CreateFileA(tempPath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
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

}  // namespace

bool replaceFileContents(const std::string& path, const uint8_t* data, size_t size) {
    if (path.empty()) return false;
    std::string tempPath;
    HANDLE file = createTemp(path, tempPath);
    if (file == INVALID_HANDLE_VALUE) return false;
    bool ok = writeAll(file, data, size) && FlushFileBuffers(file) != 0;
    ok = (CloseHandle(file) != 0) && ok;
    if (ok) {
        ok = MoveFileExA(tempPath.c_str(), path.c_str(),
                         MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
    }
    if (!ok) {
        DeleteFileA(tempPath.c_str());
        return false;
    }
    return true;
}

}  // namespace zelvaro
