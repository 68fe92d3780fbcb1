#include "wavefile/file_stream.h"

#include <utility>

namespace zelvaro {

FileStream::FileStream(FileStream&& other) noexcept
    : handle_(other.handle_), error_(other.error_), stream_(other.stream_), unsyncedBytes_(other.unsyncedBytes_) {
    other.handle_ = kInvalid;
}

FileStream& FileStream::operator=(FileStream&& other) noexcept {
    if (this != &other) {
        close();
        handle_ = std::exchange(other.handle_, kInvalid);
        error_ = other.error_;
        stream_ = other.stream_;
        unsyncedBytes_ = other.unsyncedBytes_;
    }
    return *this;
}

std::string FileStream::describeError(int code) {
    std::string text = systemErrorText(code);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ' || text.back() == '.'))
        text.pop_back();
    if (text.empty()) return "error " + std::to_string(code);
    if (text[0] >= 'A' && text[0] <= 'Z' && (text.size() < 2 || !(text[1] >= 'A' && text[1] <= 'Z')))
        text[0] = static_cast<char>(text[0] - 'A' + 'a');
    return text;
}

}  // namespace zelvaro
