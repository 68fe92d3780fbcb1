// The one place where the wave file classes touch the operating system's file
// interface. Offsets are 32-bit as in the WAV format itself, except where a
// seek goes: 4 GiB of data may start some way into a file; a write reports
// whether every byte reached the file so that a writer can tell a full disk
// from success.
#pragma once

#include <cstdint>
#include <string>

namespace zelvaro {

class FileStream {
public:
    FileStream() = default;
    ~FileStream() { close(); }
    FileStream(FileStream&& other) noexcept;
    FileStream& operator=(FileStream&& other) noexcept;
    FileStream(const FileStream&) = delete;
    FileStream& operator=(const FileStream&) = delete;

    // Opens for writing, creating the file when it is missing and keeping the
    // content of an existing one; others may read it meanwhile.
    static FileStream openForWriting(const char* path);
    // Opens an existing file for sequential reading; others may go on reading
    // and writing it meanwhile (a reader can follow a file being written).
    static FileStream openForReading(const char* path);
    // The process's standard output, for writing; closing the stream leaves
    // standard output itself open. It is written as a stream whatever it
    // leads to: no seeking back (tell gives -1) and nothing to flush.
    static FileStream openStandardOutput();

    bool isOpen() const { return handle_ != kInvalid; }

    // Moves to an absolute offset from the start of the file.
    bool seekTo(uint64_t offset);
    // The current offset, or -1 when it cannot be had or is beyond 32 bits.
    int64_t tell();
    // Cuts the file at the current offset; a device has nothing to cut.
    bool cutHere();
    // Reads up to `bytes` bytes at the current offset; false when the read
    // call itself failed. `got` holds the bytes actually read either way.
    bool read(void* buffer, uint32_t bytes, uint32_t& got);
    // Writes all `bytes` bytes at the current offset; false on any failure.
    bool write(const void* buffer, uint32_t bytes);
    // Pushes the file's buffers to the device. Files without buffers to push
    // (devices, pipes) count as flushed.
    bool flush();
    // The file's size in bytes, in full (beyond 4 GiB too); 0 when it cannot
    // be had.
    uint64_t size();
    // Closes the file; false when the system reported an error on close.
    bool close();

    // The system's error code of the last open, write, seek or close that
    // failed (errno, or GetLastError on Windows); 0 when none has.
    int lastError() const { return error_; }
    // The system's text for an error code, starting lowercase and without a
    // closing full stop, as in "permission denied" and "file too large".
    static std::string describeError(int code);

private:
    static constexpr intptr_t kInvalid = -1;
    explicit FileStream(intptr_t handle, int error = 0) : handle_(handle), error_(error) {}
    // Keeps the system's code of a failure just seen; returns false.
    bool fail();
    static std::string systemErrorText(int code);
    intptr_t handle_ = kInvalid;
    int error_ = 0;
    bool stream_ = false;
    uint32_t unsyncedBytes_ = 0;  // written since the disk was last asked to start
};

}  // namespace zelvaro
