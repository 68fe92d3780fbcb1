// Small sources for the signal tests: a block of samples that can seek, and
// helpers that pull a whole stream out of a chain.
#pragma once

#include <cstdint>
#include <vector>

#include "signal/sound_source.h"

namespace zelvaro::test {

// Plays `samples` (interleaved) once, then silence; seekable; counts reads.
class VectorSource : public SoundSource {
public:
    VectorSource(std::vector<int32_t> samples, uint8_t channelCount, int32_t rate = 44100,
                 int32_t peak = 2097152, bool* destroyed = nullptr)
        : SoundSource(rate, peak, channelCount),
          data(std::move(samples)),
          destroyedFlag(destroyed) {}
    ~VectorSource() override {
        if (destroyedFlag != nullptr)
            *destroyedFlag = true;
    }

    void read(int32_t* samples, int frames) override {
        ++reads;
        for (int j = 0; j < frames; ++j) {
            for (int c = 0; c < channels; ++c) {
                const int64_t index = (static_cast<int64_t>(frame) + j) * channels + c;
                samples[j * channels + c] =
                    index >= 0 && index < static_cast<int64_t>(data.size()) ? data[index] : 0;
            }
        }
        frame += frames;
    }
    void seek(int target) override {
        seeks.push_back(target);
        frame = target;
    }
    int position() override { return frame; }
    int length() override { return static_cast<int>(data.size() / channels); }

    std::vector<int32_t> data;
    int frame = 0;
    int reads = 0;
    std::vector<int> seeks;
    bool* destroyedFlag;
};

// Reads `frames` frames in blocks of at most `block` frames.
inline std::vector<int32_t> readFrames(SoundSource& source, int frames, int block = 8192) {
    std::vector<int32_t> out(static_cast<size_t>(frames) * source.channels);
    for (int done = 0; done < frames;) {
        const int n = frames - done < block ? frames - done : block;
        source.read(out.data() + static_cast<size_t>(done) * source.channels, n);
        done += n;
    }
    return out;
}

// The render loop's rule: blocks of 8,192 frames until position >= length,
// keeping only the head of the last block that lies within the length.
inline std::vector<int32_t> renderToLength(SoundSource& source) {
    std::vector<int32_t> out;
    std::vector<int32_t> block(static_cast<size_t>(kMaxBlockFrames) * source.channels);
    for (;;) {
        source.read(block.data(), kMaxBlockFrames);
        const int pos = source.position();
        const int len = source.length();
        if (pos >= len) {
            const int n = kMaxBlockFrames - (pos - len);
            if (n >= 1)
                out.insert(out.end(), block.begin(), block.begin() + static_cast<size_t>(n) * source.channels);
            return out;
        }
        out.insert(out.end(), block.begin(), block.end());
    }
}

// The samples of channel `channel` of an interleaved stream.
inline std::vector<int32_t> channelOf(const std::vector<int32_t>& samples, int channels, int channel) {
    std::vector<int32_t> out;
    for (size_t i = channel; i < samples.size(); i += channels)
        out.push_back(samples[i]);
    return out;
}

// FNV-1a over the samples' 32-bit patterns: a fingerprint of a whole stream.
inline uint64_t fingerprint(const std::vector<int32_t>& samples) {
    uint64_t hash = 1469598103934665603ull;
    for (int32_t v : samples)
        hash = (hash ^ static_cast<uint32_t>(v)) * 1099511628211ull;
    return hash;
}

}  // namespace zelvaro::test
