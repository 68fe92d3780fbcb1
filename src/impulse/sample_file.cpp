#include "impulse/sample_file.h"

#include <algorithm>
#include <cfloat>
#include <cstring>

#include "base/little_endian.h"
#include "wavefile/pure_quantiser.h"
#include "wavefile/pure_wav_reader.h"
#include "wavefile/wav_header.h"

namespace zelvaro {

namespace {

constexpr char kSweepChunk[5] = "zswp";
constexpr uint32_t kSweepChunkSize = 5 * 8;

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
            // Beyond float's range a double has no float (the cast would be
            // undefined): the largest float stands for it.
            const float v = heldFloat(channel[f]);
            uint32_t bits;
            std::memcpy(&bits, &v, sizeof bits);
            putLe32(p, bits);
            p += 4;
        }
    putLe32(out.data() + 4, static_cast<uint32_t>(out.size() - 8));
    return out;
}

std::vector<uint8_t> floatWavBytes(const SampleFile& file, std::string& error) {
    if (file.channels.empty() || file.rateHz <= 0) {
        error = "nothing to write";
        return {};
    }
    if (static_cast<uint64_t>(file.frames()) * file.channels.size() * 4 > kMaxWavDataSize - 64) {
        error = "the file would pass the 4 GiB size limit of WAV files";
        return {};
    }
    return floatWavBytes(file);
}

namespace {

// The reader opened on `path` with its shape checked; false with `error` set.
bool openChecked(PureWavReader& reader, const std::string& path, std::string& error) {
    if (!reader.ok()) {
        error = path + ": " + reader.error();
        return false;
    }
    if (reader.channels() < 1 || reader.channels() > 16 || reader.sampleRate() < 1000 || reader.sampleRate() > 768000) {
        error = path + " has a channel count or a rate that cannot be measured";
        return false;
    }
    if (static_cast<uint64_t>(reader.frames()) * static_cast<uint64_t>(reader.channels()) * sizeof(double) >
        kMaxSampleFileBytes) {
        error = path + " is too long to be measured at once (" + std::to_string(reader.frames()) + " frames)";
        return false;
    }
    return true;
}

}  // namespace

bool probeSampleFile(const std::string& path, SampleFileShape& shape, std::string& error) {
    PureWavReader reader(path.c_str());
    if (!openChecked(reader, path, error)) return false;
    shape = {reader.sampleRate(), reader.channels(), reader.frames()};
    return true;
}

SweepRequest sweepRequestOf(const SampleFile& file) {
    SweepRequest request;
    request.fromHz = file.sweep.fromHz;
    request.toHz = file.sweep.toHz;
    request.seconds = file.sweep.seconds;
    request.peakDbfs = file.sweep.peakDbfs;
    request.fadeMs = file.sweep.fadeMs;
    request.rateHz = file.rateHz;
    return request;
}

bool readSampleFile(const std::string& path, SampleFile& file, std::string& error) {
    file = SampleFile();
    PureWavReader reader(path.c_str());
    if (!openChecked(reader, path, error)) return false;
    file.rateHz = reader.sampleRate();
    file.bitsPerSample = reader.format().bitsPerSample;
    file.channels = reader.readAll();
    file.nonFiniteSamples = reader.nonFiniteSamples();
    if (const std::vector<uint8_t>* sweep = reader.chunk(kSweepChunk); sweep && sweep->size() >= kSweepChunkSize) {
        file.hasSweep = true;
        const uint8_t* p = sweep->data();
        file.sweep = {getDouble(p), getDouble(p + 8), getDouble(p + 16), getDouble(p + 24), getDouble(p + 32)};
    }
    return true;
}

}  // namespace zelvaro
