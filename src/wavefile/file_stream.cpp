#include "wavefile/file_stream.h"

#include <utility>

namespace zelvaro {

FileStream::FileStream(FileStream&& other) noexcept : handle_(other.handle_) {
    other.handle_ = kInvalid;
}

FileStream& FileStream::operator=(FileStream&& other) noexcept {
    if (this != &other) {
        close();
        handle_ = std::exchange(other.handle_, kInvalid);
    }
    return *this;
}

}  // namespace zelvaro
