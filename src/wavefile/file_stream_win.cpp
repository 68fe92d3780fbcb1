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
    intptr_t h = fromHandle(CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
    return FileStream(h, h == kInvalid ? static_cast<int>(GetLastError()) : 0);
}

FileStream FileStream::openForReading(const char* path) {
    intptr_t h = fromHandle(CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                        OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN | FILE_ATTRIBUTE_NORMAL, nullptr));
    return FileStream(h, h == kInvalid ? static_cast<int>(GetLastError()) : 0);
}

FileStream FileStream::openStandardOutput() {
    HANDLE copy = nullptr;
    HANDLE process = GetCurrentProcess();
    if (!DuplicateHandle(process, GetStdHandle(STD_OUTPUT_HANDLE), process, &copy, 0, FALSE,
                         DUPLICATE_SAME_ACCESS))
        return FileStream(kInvalid, static_cast<int>(GetLastError()));
    FileStream out(reinterpret_cast<intptr_t>(copy));
    out.stream_ = true;
    return out;
}

bool FileStream::fail() {
    error_ = static_cast<int>(GetLastError());
    return false;
}

std::string FileStream::systemErrorText(int code) {
    char* text = nullptr;
    DWORD n = FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                             nullptr, static_cast<DWORD>(code), 0, reinterpret_cast<char*>(&text), 0, nullptr);
    std::string result = n > 0 && text != nullptr ? std::string(text, n) : std::string();
    if (text != nullptr) LocalFree(text);
    return result;
}

bool FileStream::seekTo(uint64_t offset) {
    return isOpen() && (movePointer(handle_, static_cast<int64_t>(offset), FILE_BEGIN) >= 0 || fail());
}

int64_t FileStream::tell() {
    if (!isOpen() || stream_) return -1;
    int64_t at = movePointer(handle_, 0, FILE_CURRENT);
    if (at < 0) fail();
    return at > 0xFFFFFFFFll ? -1 : at;
}

bool FileStream::cutHere() {
    if (!isOpen()) return false;
    // Devices (NUL and the like) have no end to move.
    if (SetEndOfFile(toHandle(handle_)) != 0) return true;
    const int error = static_cast<int>(GetLastError());
    if (GetFileType(toHandle(handle_)) != FILE_TYPE_DISK) return true;
    error_ = error;
    return false;
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
    if (!WriteFile(toHandle(handle_), buffer, bytes, &n, nullptr)) return fail();
    if (n != bytes) {
        error_ = ERROR_HANDLE_DISK_FULL;
        return false;
    }
    return true;
}

bool FileStream::flush() {
    if (!isOpen()) return false;
    if (stream_) return true;
    if (FlushFileBuffers(toHandle(handle_))) return true;
    const int error = static_cast<int>(GetLastError());
    // Consoles, pipes and the NUL device have nothing to flush.
    if (GetFileType(toHandle(handle_)) != FILE_TYPE_DISK) return true;
    error_ = error;
    return false;
}

uint64_t FileStream::size() {
    LARGE_INTEGER size;
    if (!isOpen() || !GetFileSizeEx(toHandle(handle_), &size) || size.QuadPart < 0) return 0;
    return static_cast<uint64_t>(size.QuadPart);
}

bool FileStream::close() {
    if (!isOpen()) return true;
    HANDLE h = toHandle(handle_);
    handle_ = kInvalid;
    return CloseHandle(h) != 0 || fail();
}

}  // namespace zelvaro
