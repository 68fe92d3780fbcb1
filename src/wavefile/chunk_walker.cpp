#include "wavefile/chunk_walker.h"

#include <algorithm>
#include <cstring>

#include "base/little_endian.h"

namespace zelvaro {

int32_t paddedSize(uint32_t size) {
    // A size of 0xFFFFFFFF pads to 0 in 32 bits, which the callers reject
    // together with the other non-positive sizes.
    uint32_t padded = (size + 1u) & ~1u;
    return padded <= 0x7FFFFFFFu ? static_cast<int32_t>(padded) : -1;
}

ChunkWalker::ChunkWalker(FileStream& f) : file_(f), fileSize_(std::min<uint64_t>(f.size(), 0xFFFFFFFFu)) {}

bool ChunkWalker::readExact(void* buffer, uint32_t bytes) {
    uint32_t got = 0;
    if (!file_.read(buffer, bytes, got) || got != bytes) return false;
    offset_ += bytes;
    return true;
}

bool ChunkWalker::seekTo(uint64_t offset) {
    offset_ = offset;
    return offset_ <= fileSize_ && file_.seekTo(offset_);
}

bool ChunkWalker::nextChunk(char (&id)[4], uint32_t& size) {
    uint8_t header[8];
    if (!readExact(header, 8)) return false;
    std::memcpy(id, header, 4);
    size = getLe32(header + 4);
    return true;
}

bool ChunkWalker::findChunk(const char* id, uint32_t& size) {
    for (;;) {
        char found[4];
        if (!nextChunk(found, size)) return false;
        if (std::memcmp(found, id, 4) == 0) return true;
        int32_t padded = paddedSize(size);
        if (padded <= 0 || !skip(static_cast<uint32_t>(padded))) return false;
    }
}

}  // namespace zelvaro
