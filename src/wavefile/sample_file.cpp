#include "wavefile/sample_file.h"

#include <algorithm>
#include <cstring>

#include "base/block_frames.h"
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

// The chunks between the format and the data: formats other than PCM name
// their frame count, and a sweep file its sweep.
std::vector<RiffChunk> notesOf(const SampleFile& file) {
    std::vector<RiffChunk> chunks(1, RiffChunk{{'f', 'a', 'c', 't'}, std::vector<uint8_t>(4)});
    putLe32(chunks[0].content.data(), static_cast<uint32_t>(file.frames()));
    if (file.hasSweep) {
        RiffChunk sweep{{kSweepChunk[0], kSweepChunk[1], kSweepChunk[2], kSweepChunk[3]},
                        std::vector<uint8_t>(kSweepChunkSize)};
        const double fields[5] = {file.sweep.fromHz, file.sweep.toHz, file.sweep.seconds, file.sweep.peakDbfs,
                                  file.sweep.fadeMs};
        for (int i = 0; i < 5; ++i) putDouble(sweep.content.data() + 8 * i, fields[i]);
        chunks.push_back(std::move(sweep));
    }
    return chunks;
}

}  // namespace

std::vector<uint8_t> floatWavBytes(const SampleFile& file) {
    const uint16_t channels = static_cast<uint16_t>(file.channels.size());
    const size_t frames = file.frames();
    const uint64_t dataBytes = static_cast<uint64_t>(frames) * channels * 4;
    uint8_t record[kPlainRecordSize];
    buildPlainRecord(record, channels, static_cast<uint32_t>(file.rateHz), 4, kWaveFormatFloat);
    std::vector<uint8_t> out = riffWaveHeader(record, sizeof record, notesOf(file), static_cast<uint32_t>(dataBytes));
    const size_t at = out.size();
    out.resize(at + dataBytes);
    // The float writer's conversion: beyond float's range a double is held
    // at the largest float.
    PureQuantiser quantiser(SampleEncoding::kFloat32, std::nullopt);
    std::vector<double> block(static_cast<size_t>(kMaxBlockFrames) * channels);
    uint8_t* p = out.data() + at;
    for (size_t first = 0; first < frames; first += kMaxBlockFrames) {
        const size_t n = std::min<size_t>(kMaxBlockFrames, frames - first);
        for (size_t f = 0; f < n; ++f)
            for (size_t c = 0; c < channels; ++c) block[f * channels + c] = file.channels[c][first + f];
        quantiser.convert(block.data(), n * channels, 1.0, p);
        p += n * channels * 4;
    }
    return out;
}

FloatWavBytes floatWavFile(const SampleFile& file) {
    if (file.channels.empty() || file.rateHz <= 0) return {{}, "nothing to write"};
    if (static_cast<uint64_t>(file.frames()) * file.channels.size() * 4 > kMaxWavDataSize - 64)
        return {{}, "the file would pass the 4 GiB size limit of WAV files"};
    return {floatWavBytes(file), {}};
}

namespace {

// Why the reader opened on `path` cannot be taken; empty when it can.
std::string refusalOf(const PureWavReader& reader, const std::string& path) {
    if (!reader.ok()) return path + ": " + reader.error();
    if (reader.channels() < 1 || reader.channels() > 16 || reader.sampleRate() < 1000 || reader.sampleRate() > 768000)
        return path + " has a channel count or a rate that cannot be measured";
    if (static_cast<uint64_t>(reader.frames()) * static_cast<uint64_t>(reader.channels()) * sizeof(double) >
        kMaxSampleFileBytes)
        return path + " is too long to be measured at once (" + std::to_string(reader.frames()) + " frames)";
    return {};
}

}  // namespace

SampleFileShape probeSampleFile(const std::string& path) {
    SampleFileShape shape;
    PureWavReader reader(path.c_str());
    shape.error = refusalOf(reader, path);
    if (shape.error.empty()) {
        shape.rateHz = reader.sampleRate();
        shape.channels = reader.channels();
        shape.frames = reader.frames();
    }
    return shape;
}

SampleFile readSampleFile(const std::string& path) {
    SampleFile file;
    PureWavReader reader(path.c_str());
    file.error = refusalOf(reader, path);
    if (!file.error.empty()) return file;
    file.rateHz = reader.sampleRate();
    file.bitsPerSample = reader.format().bitsPerSample;
    file.channels = reader.readAll();
    file.nonFiniteSamples = reader.nonFiniteSamples();
    if (const std::vector<uint8_t>* sweep = reader.chunk(kSweepChunk); sweep && sweep->size() >= kSweepChunkSize) {
        file.hasSweep = true;
        const uint8_t* p = sweep->data();
        file.sweep = {getDouble(p), getDouble(p + 8), getDouble(p + 16), getDouble(p + 24), getDouble(p + 32)};
    }
    return file;
}

}  // namespace zelvaro
