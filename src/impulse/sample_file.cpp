#include "impulse/sample_file.h"

#include <cmath>
#include <cstring>
#include <fstream>

#include "base/little_endian.h"
#include "tone/file_replace.h"
#include "wavefile/wav_header.h"

namespace zelvaro {

namespace {

constexpr char kSweepChunk[4] = {'z', 's', 'w', 'p'};
constexpr uint32_t kSweepChunkSize = 5 * 8;
// The whole file is held in memory: a 10-minute stereo recording in 64-bit
// float is about 420 MB.
constexpr uint64_t kMaxFileBytes = 1ull << 30;

void putDouble(uint8_t* p, double v) {
    uint64_t bits;
    std::memcpy(&bits, &v, sizeof bits);
    putLe32(p, static_cast<uint32_t>(bits));
    putLe32(p + 4, static_cast<uint32_t>(bits >> 32));
}

double getDouble(const uint8_t* p) {
    const uint64_t bits = getLe32(p) | (static_cast<uint64_t>(getLe32(p + 4)) << 32);
    double v;
    std::memcpy(&v, &bits, sizeof v);
    return v;
}

void appendChunk(std::vector<uint8_t>& out, const char* id, uint32_t size) {
    const size_t at = out.size();
    out.resize(at + 8);
    std::memcpy(out.data() + at, id, 4);
    putLe32(out.data() + at + 4, size);
}

// One sample of `bytes` bytes as a number in [-1, 1), its bits below the
// valid ones cleared.
double decodeSample(const uint8_t* p, const SampleLayout& layout) {
    if (layout.kind == SampleLayout::kFloat) {
        double v;
        if (layout.containerBits == 32) {
            const uint32_t bits = getLe32(p);
            float f;
            std::memcpy(&f, &bits, sizeof f);
            v = f;
        } else {
            v = getDouble(p);
        }
        return std::isfinite(v) ? v : 0.0;
    }
    const int bytes = layout.containerBits / 8;
    if (bytes == 1)
        return (static_cast<int>(p[0]) - 128) / 128.0;
    // Sign-extended from the top byte down.
    int64_t value = static_cast<int8_t>(p[bytes - 1]);
    for (int i = bytes - 2; i >= 0; --i)
        value = value * 256 + p[i];
    const int ignored = layout.containerBits - layout.validBits;
    if (ignored > 0)
        value &= ~((int64_t{1} << ignored) - 1);
    return static_cast<double>(value) / static_cast<double>(int64_t{1} << (layout.containerBits - 1));
}

}  // namespace

std::vector<uint8_t> floatWavBytes(const SampleFile& file) {
    const uint32_t channels = static_cast<uint32_t>(file.channels.size());
    const uint64_t frames = file.frames();
    const uint64_t dataBytes = frames * channels * 4;
    std::vector<uint8_t> out(12);
    std::memcpy(out.data(), "RIFF", 4);
    std::memcpy(out.data() + 8, "WAVE", 4);
    appendChunk(out, "fmt ", 18);
    size_t at = out.size();
    out.resize(at + 18);
    putLe16(out.data() + at, kWaveFormatFloat);            // format tag: IEEE float
    putLe16(out.data() + at + 2, channels);                // channels
    putLe32(out.data() + at + 4, static_cast<uint32_t>(file.rateHz));      // frames per second
    putLe32(out.data() + at + 8, static_cast<uint32_t>(file.rateHz) * channels * 4);  // bytes per second
    putLe16(out.data() + at + 12, channels * 4);           // block align
    putLe16(out.data() + at + 14, 32);                     // bits per sample
    putLe16(out.data() + at + 16, 0);                      // no extra bytes
    // Formats other than PCM name their frame count.
    appendChunk(out, "fact", 4);
    at = out.size();
    out.resize(at + 4);
    putLe32(out.data() + at, static_cast<uint32_t>(frames));
    if (file.hasSweep) {
        appendChunk(out, kSweepChunk, kSweepChunkSize);
        at = out.size();
        out.resize(at + kSweepChunkSize);
        const double fields[5] = {file.sweep.fromHz, file.sweep.toHz, file.sweep.seconds, file.sweep.peakDbfs,
                                  file.sweep.fadeMs};
        for (int i = 0; i < 5; ++i)
            putDouble(out.data() + at + 8 * i, fields[i]);
    }
    appendChunk(out, "data", static_cast<uint32_t>(dataBytes));
    at = out.size();
    out.resize(at + dataBytes);
    uint8_t* p = out.data() + at;
    for (uint64_t f = 0; f < frames; ++f)
        for (const std::vector<double>& channel : file.channels) {
            const float v = static_cast<float>(channel[f]);
            uint32_t bits;
            std::memcpy(&bits, &v, sizeof bits);
            putLe32(p, bits);
            p += 4;
        }
    putLe32(out.data() + 4, static_cast<uint32_t>(out.size() - 8));
    return out;
}

bool writeFloatWav(const std::string& path, const SampleFile& file, std::string& error) {
    if (file.channels.empty() || file.rateHz <= 0) {
        error = "nothing to write";
        return false;
    }
    if (static_cast<uint64_t>(file.frames()) * file.channels.size() * 4 > kMaxWavDataSize - 64) {
        error = "the file would pass the 4 GiB size limit of WAV files";
        return false;
    }
    const std::vector<uint8_t> bytes = floatWavBytes(file);
    if (!replaceFileContents(path, bytes.data(), bytes.size())) {
        error = "cannot write " + path;
        return false;
    }
    return true;
}

bool readSampleFile(const std::string& path, SampleFile& file, std::string& error) {
    file = SampleFile();
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    if (!in) {
        error = "cannot open " + path;
        return false;
    }
    const std::streamoff length = in.tellg();
    if (length < 0 || static_cast<uint64_t>(length) > kMaxFileBytes) {
        error = path + " is larger than 1 GiB";
        return false;
    }
    std::vector<uint8_t> bytes(static_cast<size_t>(length));
    in.seekg(0);
    if (!in.read(reinterpret_cast<char*>(bytes.data()), length)) {
        error = "cannot read " + path;
        return false;
    }
    return parseSampleFile(bytes, path, file, error);
}

bool parseSampleFile(const std::vector<uint8_t>& bytes, const std::string& path, SampleFile& file, std::string& error) {
    file = SampleFile();
    if (bytes.size() < 12 || std::memcmp(bytes.data(), "RIFF", 4) != 0 || std::memcmp(bytes.data() + 8, "WAVE", 4) != 0) {
        error = path + " is not a WAV file";
        return false;
    }
    WaveFormat format;
    bool haveFormat = false;
    const uint8_t* data = nullptr;
    uint64_t dataBytes = 0;
    // Every chunk is bounded by the bytes the file really has; a data chunk
    // that claims more (a recording cut short) keeps what is there.
    uint64_t at = 12;
    while (at + 8 <= bytes.size()) {
        const uint8_t* header = bytes.data() + at;
        const uint64_t size = getLe32(header + 4);
        const uint64_t available = bytes.size() - (at + 8);
        const uint64_t inFile = size < available ? size : available;
        if (std::memcmp(header, "fmt ", 4) == 0 && inFile >= 14 && !haveFormat) {
            format = parseWaveFormat(header + 8, static_cast<size_t>(inFile));
            haveFormat = true;
        } else if (std::memcmp(header, "data", 4) == 0 && !data) {
            data = header + 8;
            dataBytes = inFile;
        } else if (std::memcmp(header, kSweepChunk, 4) == 0 && inFile >= kSweepChunkSize) {
            file.hasSweep = true;
            file.sweep = {getDouble(header + 8), getDouble(header + 16), getDouble(header + 24),
                          getDouble(header + 32), getDouble(header + 40)};
        }
        at += 8 + size + (size & 1);
    }
    if (!haveFormat || !data) {
        error = path + " has no format or no data";
        return false;
    }
    const SampleLayout layout = sampleLayout(format);
    const bool pcm = layout.kind == SampleLayout::kPcm && layout.containerBits % 8 == 0 && layout.containerBits >= 8 &&
                     layout.containerBits <= 32;
    const bool real = layout.kind == SampleLayout::kFloat && (layout.containerBits == 32 || layout.containerBits == 64);
    if (!pcm && !real) {
        error = path + " is compressed or of a sample width that cannot be measured";
        return false;
    }
    if (format.channels < 1 || format.channels > 16 || format.samplesPerSec < 1000 || format.samplesPerSec > 768000) {
        error = path + " has a channel count or a rate that cannot be measured";
        return false;
    }
    const size_t sampleBytes = layout.containerBits / 8;
    const size_t frameBytes = sampleBytes * format.channels;
    const size_t frames = static_cast<size_t>(dataBytes / frameBytes);
    file.rateHz = static_cast<int>(format.samplesPerSec);
    file.channels.assign(format.channels, std::vector<double>(frames));
    for (size_t f = 0; f < frames; ++f)
        for (size_t c = 0; c < format.channels; ++c)
            file.channels[c][f] = decodeSample(data + f * frameBytes + c * sampleBytes, layout);
    return true;
}

}  // namespace zelvaro
