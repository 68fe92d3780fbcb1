#include "cli/cli_output_file.h"

#include <filesystem>
#include <system_error>
#include <utility>

#include "wavefile/file_stream.h"
#include "wavefile/wav_file.h"

namespace zelvaro::cli {

namespace fs = std::filesystem;

namespace {

// A name beside `target` that nothing uses yet.
std::string freeTempName(const std::string& target) {
    static unsigned counter = 0;
    std::error_code ec;
    for (;;) {
        std::string name = target + "." + std::to_string(processId()) + "." + std::to_string(counter++) + ".tmp";
        if (!fs::exists(fs::symlink_status(name, ec))) return name;
    }
}

}  // namespace

OutputFile::OutputFile(std::string path) : path_(std::move(path)), name_(path_) {
    if (path_ == "-") {
        standardOutput_ = true;
        name_ = "standard output";
        return;
    }
    std::error_code ec;
    const fs::file_status status = fs::status(path_, ec);
    existed_ = fs::exists(status);
    // Pipes, devices and descriptors cannot be replaced; they are written as they are.
    if ((existed_ && !fs::is_regular_file(status)) || isDeviceName(path_)) return;
    target_ = path_;
    // A link stays a link: the file it leads to is replaced.
    if (fs::is_symlink(fs::symlink_status(path_, ec))) {
        const fs::path resolved = fs::canonical(path_, ec);
        if (ec) return;
        target_ = resolved.string();
    }
    temp_ = freeTempName(target_);
}

OutputFile::~OutputFile() {
    if (!temp_.empty() && !committed_) {
        std::error_code ec;
        fs::remove(temp_, ec);
    }
}

SoundSinkRef OutputFile::createSink(int32_t sampleRate, uint16_t bitsPerSample, uint8_t channels) {
    if (standardOutput_) return createWavSink(FileStream::openStandardOutput(), sampleRate, bitsPerSample, channels);
    const std::string& where = temp_.empty() ? path_ : temp_;
    return createWavSink(where.c_str(), sampleRate, 0, bitsPerSample, channels);
}

PureWavSinkRef OutputFile::createSink(const PureWavFormat& format) {
    if (standardOutput_) return createPureWavSink(FileStream::openStandardOutput(), format);
    const std::string& where = temp_.empty() ? path_ : temp_;
    return createPureWavSink(where.c_str(), format);
}

SoundSinkRef OutputFile::createSink(const WaveFormat& compressed) {
    const std::string& where = temp_.empty() ? path_ : temp_;
    return createWavSinkForFormat(where.c_str(), compressed);
}

int OutputFile::commit() {
    if (temp_.empty() || committed_) return 0;
    const int error = moveOver(temp_, target_);
    if (error != 0) {
        discard();
        return error;
    }
    committed_ = true;
    return 0;
}

bool OutputFile::discard() {
    std::error_code ec;
    if (!temp_.empty()) return !committed_ && fs::remove(temp_, ec);
    if (standardOutput_ || !fs::is_regular_file(path_, ec)) return false;
    fs::resize_file(path_, 0, ec);
    return !ec;
}

}  // namespace zelvaro::cli
