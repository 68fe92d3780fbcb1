#include "wavefile/wav_header.h"

#include <cstring>

#include "base/little_endian.h"

namespace zelvaro {

WaveFormat parseWaveFormat(const uint8_t* bytes, size_t size) {
    WaveFormat f;
    f.raw.assign(bytes, bytes + size);
    if (size < 14) return f;
    f.formatTag = getLe16(bytes);
    f.channels = getLe16(bytes + 2);
    f.samplesPerSec = getLe32(bytes + 4);
    f.avgBytesPerSec = getLe32(bytes + 8);
    f.blockAlign = getLe16(bytes + 12);
    if (size >= 16) {
        f.bitsPerSample = getLe16(bytes + 14);
    } else if (f.formatTag == kWaveFormatPcm) {
        if (f.channels != 0 && f.blockAlign == f.channels)
            f.bitsPerSample = 8;
        else if (f.channels != 0 && f.blockAlign == 4u * f.channels)
            f.bitsPerSample = 32;
        else
            f.bitsPerSample = 16;
    }
    if (size >= 18) f.extraSize = getLe16(bytes + 16);
    return f;
}

SampleLayout sampleLayout(const WaveFormat& format) {
    SampleLayout layout;
    uint16_t tag = format.formatTag;
    layout.containerBits = layout.validBits = format.bitsPerSample;
    if (tag == kWaveFormatExtensible) {
        // cbSize (offset 16) of at least 22, then: valid bits (18), channel
        // mask (20) and the sub-format GUID (24..39), whose first two bytes
        // are a format tag when the rest is the standard base GUID.
        static const uint8_t kBaseGuidTail[14] = {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80,
                                                  0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};
        const std::vector<uint8_t>& raw = format.raw;
        if (raw.size() < 40 || format.extraSize < 22 || std::memcmp(raw.data() + 26, kBaseGuidTail, 14) != 0)
            return SampleLayout();
        tag = getLe16(raw.data() + 24);
        const uint16_t valid = getLe16(raw.data() + 18);
        // 0 is what some writers put when every bit is valid.
        if (valid > layout.containerBits) return SampleLayout();
        if (valid != 0) layout.validBits = valid;
    }
    if (tag == kWaveFormatPcm && format.formatTag == kWaveFormatPcm) {
        // A plain record may state fewer bits than its samples take (12 in
        // 2 bytes): each sample takes the width rounded up to whole bytes and
        // is read as it stands. The block align is not consulted. Widths
        // above 32 stay as they are, for no reader takes them.
        const uint16_t bits = format.bitsPerSample;
        layout.kind = SampleLayout::kPcm;
        layout.containerBits = layout.validBits =
            bits <= 8 ? uint16_t{8} : bits <= 32 ? static_cast<uint16_t>((bits + 7u) / 8u * 8u) : bits;
    } else if (tag == kWaveFormatPcm)
        layout.kind = SampleLayout::kPcm;
    else if (tag == kWaveFormatFloat)
        layout.kind = SampleLayout::kFloat;
    else
        return SampleLayout();
    return layout;
}

namespace {

// The header into `header`, which takes kRiffHeaderBesideRecord + recordSize
// + riffChunkBytes(extra) bytes.
void putRiffWaveHeader(uint8_t* header, const uint8_t* record, uint32_t recordSize,
                       const std::vector<RiffChunk>& extra, uint32_t dataSize) {
    const uint32_t extraBytes = riffChunkBytes(extra);
    std::memcpy(header + 0, "RIFF", 4);
    putLe32(header + 4, recordSize + extraBytes + dataSize + 20u);
    std::memcpy(header + 8, "WAVE", 4);
    std::memcpy(header + 12, "fmt ", 4);
    putLe32(header + 16, recordSize);
    std::memcpy(header + 20, record, recordSize);
    uint8_t* at = header + 20 + recordSize;
    for (const RiffChunk& chunk : extra) {
        const uint32_t size = static_cast<uint32_t>(chunk.content.size());
        std::memcpy(at, chunk.id, 4);
        putLe32(at + 4, size);
        if (size > 0) std::memcpy(at + 8, chunk.content.data(), size);
        at += 8 + size;
        if (size & 1u) *at++ = 0;
    }
    std::memcpy(at, "data", 4);
    putLe32(at + 4, dataSize);
}

}  // namespace

uint32_t riffChunkBytes(const std::vector<RiffChunk>& chunks) {
    uint32_t bytes = 0;
    for (const RiffChunk& chunk : chunks) bytes += 8 + ((static_cast<uint32_t>(chunk.content.size()) + 1u) & ~1u);
    return bytes;
}

void buildRiffWaveHeader(uint8_t* header, const uint8_t* record, uint32_t recordSize, uint32_t dataSize) {
    putRiffWaveHeader(header, record, recordSize, {}, dataSize);
}

std::vector<uint8_t> riffWaveHeader(const uint8_t* record, uint32_t recordSize, const std::vector<RiffChunk>& extra,
                                    uint32_t dataSize) {
    std::vector<uint8_t> header(kRiffHeaderBesideRecord + recordSize + riffChunkBytes(extra));
    putRiffWaveHeader(header.data(), record, recordSize, extra, dataSize);
    return header;
}

void buildPlainRecord(uint8_t (&record)[kPlainRecordSize], uint16_t channels, uint32_t sampleRate,
                      uint16_t bytesPerSample, uint16_t formatTag) {
    const uint32_t blockAlign = static_cast<uint16_t>(channels * bytesPerSample);
    putLe16(record + 0, formatTag);
    putLe16(record + 2, channels);
    putLe32(record + 4, sampleRate);
    putLe32(record + 8, blockAlign * sampleRate);
    putLe16(record + 12, static_cast<uint16_t>(blockAlign));
    putLe16(record + 14, static_cast<uint16_t>(bytesPerSample * 8u));
    putLe16(record + 16, 0);
}

void buildWavHeader(uint8_t (&header)[kWavHeaderSize], uint16_t channels, uint32_t sampleRate,
                    uint16_t bytesPerSample, uint32_t dataSize, uint16_t formatTag) {
    uint8_t record[kPlainRecordSize];
    buildPlainRecord(record, channels, sampleRate, bytesPerSample, formatTag);
    buildRiffWaveHeader(header, record, sizeof record, dataSize);
}

}  // namespace zelvaro
