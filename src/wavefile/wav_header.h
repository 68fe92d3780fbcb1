// The RIFF/WAVE header the writers put at offset 0, and the wave format
// record of a file's "fmt " chunk.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace zelvaro {

constexpr uint16_t kWaveFormatPcm = 1;
constexpr uint16_t kWaveFormatFloat = 3;
// A record with a 22-byte extension naming the valid bits, the speaker
// positions and the real format (a sub-format GUID).
constexpr uint16_t kWaveFormatExtensible = 0xFFFE;

// Sample data starts right after the header.
constexpr uint32_t kWavHeaderSize = 46;
// The RIFF size field (data size + 38) and every offset are 32-bit, so a file
// must stay within 4 GiB - 1 bytes.
constexpr uint64_t kMaxWavFileSize = 0xFFFFFFFFu;
constexpr uint64_t kMaxWavDataSize = kMaxWavFileSize - kWavHeaderSize;

// The standard wave format record, as far as a "fmt " chunk reaches.
struct WaveFormat {
    uint16_t formatTag = 0;
    uint16_t channels = 0;
    uint32_t samplesPerSec = 0;
    uint32_t avgBytesPerSec = 0;
    uint16_t blockAlign = 0;
    uint16_t bitsPerSample = 0;
    uint16_t extraSize = 0;
    // The chunk's bytes exactly as read, for codecs that want the whole record.
    std::vector<uint8_t> raw;
};

// Decodes a "fmt " chunk of `size` bytes (at least 14). Fields the chunk does
// not reach are 0, except that a PCM record without a bits field (the old
// 14-byte form) gets the width its block align implies: 8 bits when a frame
// takes one byte per channel, 32 when it takes four, 16 otherwise.
WaveFormat parseWaveFormat(const uint8_t* bytes, size_t size);

// How the samples of a format record are stored, as far as the readers of
// uncompressed data care.
struct SampleLayout {
    enum Kind { kCompressed, kPcm, kFloat };
    Kind kind = kCompressed;
    // Bits each sample takes in the file: whole bytes for plain PCM, whose
    // width is rounded up (up to 8 bits take one byte).
    uint16_t containerBits = 0;
    // Bits that carry the sample, from the top of the container; the rest
    // are to be ignored. Equal to containerBits except in extensible records.
    uint16_t validBits = 0;
};

// PCM (tag 1), IEEE float (tag 3) and extensible records whose sub-format is
// PCM or float, with the container and valid bits they give; kCompressed for
// every other record, including extensible ones whose extension is short or
// whose valid bits exceed the container.
SampleLayout sampleLayout(const WaveFormat& format);

// Bytes of a RIFF WAVE header besides its format record: "RIFF", size,
// "WAVE", "fmt ", size, and after the record "data", size.
constexpr uint32_t kRiffHeaderBesideRecord = 28;

// A chunk a writer places between the format chunk and the data chunk: a
// frame count, a writer's own notes.
struct RiffChunk {
    char id[4];
    std::vector<uint8_t> content;
};

// Bytes `chunks` take in a file: each one's id, size field and content,
// padded to even.
uint32_t riffChunkBytes(const std::vector<RiffChunk>& chunks);

// The header of a RIFF WAVE form with one format chunk holding `record`
// (`recordSize` bytes, unpadded even when odd) and one data chunk of
// `dataSize` bytes: RIFF size = recordSize + dataSize + 20. `header` takes
// kRiffHeaderBesideRecord + recordSize bytes; the data follows it.
void buildRiffWaveHeader(uint8_t* header, const uint8_t* record, uint32_t recordSize, uint32_t dataSize);
// The same with `extra` chunks, in their order, between the format chunk and
// the data chunk: RIFF size = recordSize + riffChunkBytes(extra) + dataSize +
// 20, and the header that many bytes longer.
std::vector<uint8_t> riffWaveHeader(const uint8_t* record, uint32_t recordSize, const std::vector<RiffChunk>& extra,
                                    uint32_t dataSize);

// The 18-byte format record of uncompressed samples (PCM unless told
// otherwise) with no extra bytes.
constexpr uint32_t kPlainRecordSize = 18;
void buildPlainRecord(uint8_t (&record)[kPlainRecordSize], uint16_t channels, uint32_t sampleRate,
                      uint16_t bytesPerSample, uint16_t formatTag = kWaveFormatPcm);

// The 46-byte header: RIFF size = dataSize + 38, the plain format record and
// the data chunk's size field.
void buildWavHeader(uint8_t (&header)[kWavHeaderSize], uint16_t channels, uint32_t sampleRate,
                    uint16_t bytesPerSample, uint32_t dataSize, uint16_t formatTag = kWaveFormatPcm);

}  // namespace zelvaro
