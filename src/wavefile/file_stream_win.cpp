#include <windows.h>

#include "wavefile/file_stream.h"

namespace zelvaro {

namespace {

HANDLE toHandle(intptr_t h) { return reinterpret_cast<HANDLE>(h); }

intptr_t fromHandle(HANDLE h) {
    return h == INVALID_HANDLE_VALUE ? -1 : reinterpret_cast<intptr_t>(h);
}

// A move whose distance is given in full 64 bits, so that offsets from 2 to
// 4 GiB are not taken as negative; -1 on failure.
int64_t movePointer(intptr_t h, int64_t distance, DWORD method) {
    LONG high = static_cast<LONG>(distance >> 32);
    DWORD low = SetFilePointer(toHandle(h), static_cast<LONG>(distance & 0xFFFFFFFF), &high, method);
    if (low == INVALID_SET_FILE_POINTER && GetLastError() != NO_ERROR) return -1;
    return (static_cast<int64_t>(high) << 32) | low;
}

}  // namespace

FileStream FileStream::openForWriting(const char* path) {
    return FileStream(fromHandle(CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                                             FILE_ATTRIBUTE_NORMAL, nullptr)));
}

FileStream FileStream::openForReading(const char* path) {
    return FileStream(fromHandle(CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                             OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN | FILE_ATTRIBUTE_NORMAL,
                                             nullptr)));
}

bool FileStream::seekTo(uint32_t offset) {
    return isOpen() && movePointer(handle_, offset, FILE_BEGIN) >= 0;
}

int64_t FileStream::tell() {
    if (!isOpen()) return -1;
    int64_t at = movePointer(handle_, 0, FILE_CURRENT);
    return at > 0xFFFFFFFFll ? -1 : at;
}

bool FileStream::cutHere() {
    if (!isOpen()) return false;
    // Devices (NUL and the like) have no end to move.
    return SetEndOfFile(toHandle(handle_)) != 0 || GetFileType(toHandle(handle_)) != FILE_TYPE_DISK;
}

bool FileStream::read(void* buffer, uint32_t bytes, uint32_t& got) {
    got = 0;
    if (!isOpen()) return false;
    DWORD n = 0;
    BOOL ok = ReadFile(toHandle(handle_), buffer, bytes, &n, nullptr);
    got = n;
    return ok != 0;
}

bool FileStream::write(const void* buffer, uint32_t bytes) {
    if (!isOpen()) return false;
    DWORD n = 0;
    return WriteFile(toHandle(handle_), buffer, bytes, &n, nullptr) != 0 && n == bytes;
}

bool FileStream::flush() {
    if (!isOpen()) return false;
    if (FlushFileBuffers(toHandle(handle_))) return true;
    // Consoles and the NUL device have nothing to flush.
    return GetFileType(toHandle(handle_)) != FILE_TYPE_DISK;
}

uint32_t FileStream::size() {
    if (!isOpen()) return 0;
    DWORD low = GetFileSize(toHandle(handle_), nullptr);
    return low == INVALID_FILE_SIZE && GetLastError() != NO_ERROR ? 0 : low;
}

bool FileStream::close() {
    if (!isOpen()) return true;
    HANDLE h = toHandle(handle_);
    handle_ = kInvalid;
    return CloseHandle(h) != 0;
}

}  // namespace zelvaro
