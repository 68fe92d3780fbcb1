#include "wavefile/pure_wav_reader.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "wavefile/chunk_walker.h"
#include "wavefile/sample_conversion.h"

namespace zelvaro {

namespace {

constexpr uint32_t kMaxSmallChunk = 4096;
constexpr uint32_t kMaxSampleRate = 768000;

}  // namespace

bool PureWavReader::fail(const std::string& why) {
    error_ = why;
    file_.close();
    return false;
}

PureWavReader::PureWavReader(const char* path) : file_(FileStream::openForReading(path)) {
    if (!file_.isOpen()) {
        fail("cannot open it: " + FileStream::describeError(file_.lastError()));
        return;
    }
    const uint64_t fileSize = file_.size();
    ChunkWalker walk(file_);
    uint8_t head[12];
    if (!walk.readExact(head, 12) || std::memcmp(head, "RIFF", 4) != 0 || std::memcmp(head + 8, "WAVE", 4) != 0) {
        fail("it is not a RIFF WAVE file");
        return;
    }
    bool haveFormat = false;
    char chunk[4];
    uint32_t size = 0;
    // A RIFF file ends within 4 GiB: the walk goes no further.
    while (walk.nextChunk(chunk, size)) {
        const uint64_t at = walk.offset() - 8;
        // Only chunks the file's size backs (a pipe's size is 0: nothing is).
        if (at + 8 > fileSize) break;
        if (std::memcmp(chunk, "fmt ", 4) == 0 && size >= 14 && size <= 8192) {
            std::vector<uint8_t> record(size);
            if (!walk.readExact(record.data(), size)) break;
            format_ = parseWaveFormat(record.data(), size);
            haveFormat = true;
        } else if (std::memcmp(chunk, "data", 4) != 0 && size <= kMaxSmallChunk) {
            std::vector<uint8_t> content(size);
            if (!walk.readExact(content.data(), size)) break;
            smallChunks_[std::string(chunk, 4)] = std::move(content);
        } else if (std::memcmp(chunk, "data", 4) == 0) {
            if (!haveFormat) {
                fail("its data comes before its format");
                return;
            }
            layout_ = sampleLayout(format_);
            bytesPerSample_ = layout_.containerBits / 8;
            const bool pcm = layout_.kind == SampleLayout::kPcm && bytesPerSample_ >= 1 && bytesPerSample_ <= 4;
            const bool flt = layout_.kind == SampleLayout::kFloat && (bytesPerSample_ == 4 || bytesPerSample_ == 8);
            if (!pcm && !flt) {
                fail("its samples are compressed or of an unusual width");
                return;
            }
            if (format_.channels == 0 || format_.samplesPerSec == 0) {
                fail("its format record is empty");
                return;
            }
            // The rate is kept as a signed count of frames per second.
            if (format_.samplesPerSec > kMaxSampleRate) {
                fail("its rate of " + std::to_string(format_.samplesPerSec) + " frames per second is beyond " +
                     std::to_string(kMaxSampleRate));
                return;
            }
            const uint64_t available = std::min<uint64_t>(size, fileSize - (at + 8));
            frames_ = static_cast<int64_t>(available / (static_cast<uint64_t>(bytesPerSample_) * format_.channels));
            return;
        }
        // Every chunk, the format's included, is padded to even.
        if (!walk.seekTo(at + 8 + static_cast<uint64_t>(size) + (size & 1))) break;
    }
    fail(haveFormat ? "it has no data chunk" : "it has no format chunk");
}

int PureWavReader::read(double* out, int frames) {
    if (!ok()) return 0;
    const int n = static_cast<int>(std::min<int64_t>(frames, frames_ - framesRead_));
    if (n <= 0) return 0;
    const size_t count = static_cast<size_t>(n) * format_.channels;
    bytes_.resize(count * bytesPerSample_);
    uint32_t got = 0;
    file_.read(bytes_.data(), static_cast<uint32_t>(bytes_.size()), got);
    const size_t whole = std::min<size_t>(count, got / bytesPerSample_);
    std::fill(out + whole, out + count, 0.0);
    // Bits below the valid ones are not the sample's.
    const bool isFloat = layout_.kind == SampleLayout::kFloat;
    if (!isFloat && bytesPerSample_ > 1)
        clearLowBits(bytes_.data(), whole, bytesPerSample_, 8 * bytesPerSample_ - layout_.validBits);
    nonFinite_ += static_cast<int64_t>(decodePureSamples(out, bytes_.data(), whole, bytesPerSample_, isFloat));
    framesRead_ += n;
    return n;
}

const std::vector<uint8_t>* PureWavReader::chunk(const char (&id)[5]) const {
    const auto found = smallChunks_.find(std::string(id, 4));
    return found == smallChunks_.end() ? nullptr : &found->second;
}

std::vector<std::vector<double>> PureWavReader::readAll(int64_t maxFrames) {
    std::vector<std::vector<double>> channels(format_.channels);
    if (!ok()) return channels;
    const int64_t wanted = std::min(maxFrames, frames_ - framesRead_);
    for (auto& c : channels) c.reserve(static_cast<size_t>(std::max<int64_t>(0, wanted)));
    // Blocks of a bounded size whatever the channel count a header claims.
    const int blockFrames = std::max(1, 65536 / format_.channels);
    std::vector<double> block(static_cast<size_t>(blockFrames) * format_.channels);
    for (int64_t done = 0; done < wanted;) {
        const int n = read(block.data(), static_cast<int>(std::min<int64_t>(blockFrames, wanted - done)));
        if (n <= 0) break;
        for (int f = 0; f < n; ++f)
            for (int c = 0; c < format_.channels; ++c)
                channels[c].push_back(block[static_cast<size_t>(f) * format_.channels + c]);
        done += n;
    }
    return channels;
}

}  // namespace zelvaro
