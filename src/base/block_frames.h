// The block both sample chains move in.
#pragma once

namespace zelvaro {

// Consumers never ask a source for more frames than this in one read, and a
// writer converts at most this many at once: the render loops, the render
// threads and the pure rate converter's reads all use blocks of this length.
constexpr int kMaxBlockFrames = 8192;

}  // namespace zelvaro
