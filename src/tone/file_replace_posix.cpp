#include "tone/file_replace.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>

namespace zelvaro {

namespace {

std::atomic<unsigned> tempCounter{0};

// Creates a new file beside `path` that no one else uses. O_EXCL instead of
// mkstemp so that the file gets the usual 0666-minus-umask permissions, like
// the file it replaces would have had when created directly.
int createTemp(const std::string& path, std::string& tempPath) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        char suffix[48];
        std::snprintf(suffix, sizeof suffix, ".%ld.%u.tmp", static_cast<long>(getpid()),
                      tempCounter.fetch_add(1));
        tempPath = path + suffix;
        const int fd = open(tempPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST) return fd;
    }
    return -1;
}

bool writeAll(int fd, const uint8_t* data, size_t size) {
    while (size > 0) {
        const ssize_t written = write(fd, data, size);
        if (written < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        data += written;
        size -= static_cast<size_t>(written);
    }
    return true;
}

// Makes the rename itself durable; a failure here does not undo a finished replace.
void syncFolderOf(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    const std::string folder = slash == std::string::npos ? "." : (slash == 0 ? "/" : path.substr(0, slash));
    const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    fsync(fd);
    close(fd);
}

// Overwrites an existing file where no file can be made beside it (a folder
// that its users may not write, holding a file that they may).
bool writeInPlace(const std::string& path, const uint8_t* data, size_t size) {
    const int fd = open(path.c_str(), O_WRONLY | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat info;
    bool ok = fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && writeAll(fd, data, size) &&
              ftruncate(fd, static_cast<off_t>(size)) == 0 && fsync(fd) == 0;
    ok = (close(fd) == 0) && ok;
    return ok;
}

// Makes a file that did not exist; a failed write takes it away again, since
// there was nothing before it to keep.
bool writeNew(const std::string& path, const uint8_t* data, size_t size) {
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) return false;
    bool ok = writeAll(fd, data, size) && fsync(fd) == 0;
    ok = (close(fd) == 0) && ok;
    if (!ok) unlink(path.c_str());
    return ok;
}

}  // namespace

bool replaceFileContents(const std::string& path, const uint8_t* data, size_t size) {
    if (path.empty()) return false;
    std::string tempPath;
    const int fd = createTemp(path, tempPath);
    // Only an existing file is written in place. A new name near the
    // system's limit has no room for the temporary name's suffix: such a file
    // is made directly, as nothing is lost if its write fails.
    if (fd < 0) {
        struct stat info;
        const bool exists = lstat(path.c_str(), &info) == 0 || errno != ENOENT;
        return exists ? writeInPlace(path, data, size) : writeNew(path, data, size);
    }
    bool ok = writeAll(fd, data, size) && fsync(fd) == 0;
    ok = (close(fd) == 0) && ok;
    if (ok) ok = rename(tempPath.c_str(), path.c_str()) == 0;
    if (!ok) {
        unlink(tempPath.c_str());
        return false;
    }
    syncFolderOf(path);
    return true;
}

}  // namespace zelvaro
