// The walk over a RIFF file's chunks that every WAV reader makes: bounded by
// the file's real length, so that no claimed size can wrap an offset or send
// the walk past the end.
#pragma once

#include <cstdint>

#include "wavefile/file_stream.h"

namespace zelvaro {

// A chunk size padded to even as a skip takes it; -1 for 0xFFFFFFFF (whose
// padded size does not fit 32 bits) and sizes past 2 GiB.
int32_t paddedSize(uint32_t size);

// Walks the file with a 64-bit offset of its own, so that no claimed size can
// wrap it, and refuses any move past the file's end: every step consumes real
// bytes, so a walk ends within (file size / 8) steps.
class ChunkWalker {
public:
    // Offsets are 32-bit: whatever lies past 4 GiB cannot be a chunk.
    explicit ChunkWalker(FileStream& f);

    // Reads exactly `bytes` bytes at the walk's offset; false when fewer are there.
    bool readExact(void* buffer, uint32_t bytes);
    bool skip(uint64_t bytes) { return seekTo(offset_ + bytes); }
    // False past the file's end (within 4 GiB).
    bool seekTo(uint64_t offset);
    uint64_t offset() const { return offset_; }

    // Reads the next chunk's header: its id (4 bytes) and size field, leaving
    // the walk at its content.
    bool nextChunk(char (&id)[4], uint32_t& size);
    // Reads chunk headers until one with `id`, leaving the file at its
    // content; `size` receives its size field.
    bool findChunk(const char* id, uint32_t& size);

private:
    FileStream& file_;
    uint64_t fileSize_;
    uint64_t offset_ = 0;
};

}  // namespace zelvaro
