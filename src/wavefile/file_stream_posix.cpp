#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "wavefile/file_stream.h"

namespace zelvaro {

namespace {

// O_NONBLOCK keeps a named pipe from blocking the open; it is dropped again
// at once so that reads and writes behave as on a plain file. `error` gets
// the reason of a failure.
intptr_t openPath(const char* path, int flags, int& error) {
    int fd = ::open(path, flags | O_CLOEXEC | O_NONBLOCK, 0666);
    if (fd < 0) {
        error = errno;
        return -1;
    }
    struct stat st;
    error = ::fstat(fd, &st) != 0 ? errno : S_ISDIR(st.st_mode) ? EISDIR : 0;
    // A reader wants file contents and a size: only regular files qualify.
    if (error == 0 && (flags & O_ACCMODE) == O_RDONLY && !S_ISREG(st.st_mode)) error = EINVAL;
    if (error == 0) {
        int fl = ::fcntl(fd, F_GETFL);
        if (fl < 0 || ::fcntl(fd, F_SETFL, fl & ~O_NONBLOCK) != 0) error = errno;
    }
    if (error != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// A flush waits for every byte written since the last one to reach the disk.
// Starting that work for each megabyte as it is written lets the disk catch up
// while the writer goes on, so that a flush has little left to wait for.
// Pipes and devices refuse it, which costs nothing.
void startWriteback(int fd, uint32_t& unsyncedBytes, uint32_t bytes) {
#ifdef SYNC_FILE_RANGE_WRITE
    constexpr uint32_t kWritebackBytes = 1u << 20;
    unsyncedBytes += bytes;
    if (unsyncedBytes < kWritebackBytes) return;
    unsyncedBytes = 0;
    ::sync_file_range(fd, 0, 0, SYNC_FILE_RANGE_WRITE);
#else
    (void)fd;
    (void)unsyncedBytes;
    (void)bytes;
#endif
}

}  // namespace

FileStream FileStream::openForWriting(const char* path) {
    int error = 0;
    intptr_t fd = openPath(path, O_WRONLY | O_CREAT, error);
    return FileStream(fd, error);
}

FileStream FileStream::openForReading(const char* path) {
    int error = 0;
    intptr_t fd = openPath(path, O_RDONLY, error);
#ifdef POSIX_FADV_SEQUENTIAL
    if (fd >= 0) ::posix_fadvise(static_cast<int>(fd), 0, 0, POSIX_FADV_SEQUENTIAL);
#endif
    return FileStream(fd, error);
}

FileStream FileStream::openStandardOutput() {
    int fd = ::fcntl(STDOUT_FILENO, F_DUPFD_CLOEXEC, 0);
    FileStream out(fd < 0 ? kInvalid : fd, fd < 0 ? errno : 0);
    out.stream_ = true;
    return out;
}

bool FileStream::fail() {
    error_ = errno;
    return false;
}

std::string FileStream::systemErrorText(int code) { return std::strerror(code); }

bool FileStream::seekTo(uint64_t offset) {
    if (!isOpen()) return false;
    return ::lseek(static_cast<int>(handle_), static_cast<off_t>(offset), SEEK_SET) >= 0 || fail();
}

int64_t FileStream::tell() {
    if (!isOpen() || stream_) return -1;
    off_t at = ::lseek(static_cast<int>(handle_), 0, SEEK_CUR);
    if (at < 0) fail();
    if (at < 0 || static_cast<uint64_t>(at) > 0xFFFFFFFFu) return -1;
    return static_cast<int64_t>(at);
}

bool FileStream::cutHere() {
    int64_t at = tell();
    if (at < 0) return false;
    if (::ftruncate(static_cast<int>(handle_), static_cast<off_t>(at)) == 0) return true;
    const int error = errno;
    // Devices (/dev/null and the like) have no end to move.
    struct stat st;
    if (::fstat(static_cast<int>(handle_), &st) == 0 && !S_ISREG(st.st_mode)) return true;
    error_ = error;
    return false;
}

bool FileStream::read(void* buffer, uint32_t bytes, uint32_t& got) {
    got = 0;
    if (!isOpen()) return false;
    auto* p = static_cast<char*>(buffer);
    while (got < bytes) {
        ssize_t n = ::read(static_cast<int>(handle_), p + got, bytes - got);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (n == 0) break;
        got += static_cast<uint32_t>(n);
    }
    return true;
}

bool FileStream::write(const void* buffer, uint32_t bytes) {
    if (!isOpen()) return false;
    const auto* p = static_cast<const char*>(buffer);
    uint32_t done = 0;
    while (done < bytes) {
        ssize_t n = ::write(static_cast<int>(handle_), p + done, bytes - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            return fail();
        }
        if (n == 0) {
            errno = EIO;
            return fail();
        }
        done += static_cast<uint32_t>(n);
    }
    if (!stream_) startWriteback(static_cast<int>(handle_), unsyncedBytes_, bytes);
    return true;
}

bool FileStream::flush() {
    if (!isOpen()) return false;
    if (stream_) return true;
    if (::fsync(static_cast<int>(handle_)) == 0) return true;
    // Character devices and pipes have nothing to sync.
    return errno == EINVAL || errno == EROFS || fail();
}

uint64_t FileStream::size() {
    struct stat st;
    if (!isOpen() || ::fstat(static_cast<int>(handle_), &st) != 0 || st.st_size < 0) return 0;
    return static_cast<uint64_t>(st.st_size);
}

bool FileStream::close() {
    if (!isOpen()) return true;
    int fd = static_cast<int>(handle_);
    handle_ = kInvalid;
    // The descriptor is gone even when close reports an error; never retry.
    return ::close(fd) == 0 || errno == EINTR || fail();
}

}  // namespace zelvaro
