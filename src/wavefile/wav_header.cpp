#include "wavefile/wav_header.h"

#include <cstring>

namespace zelvaro {

namespace {

void put16(uint8_t* p, uint32_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}

void put32(uint8_t* p, uint32_t v) {
    put16(p, v);
    put16(p + 2, v >> 16);
}

uint16_t get16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

uint32_t get32(const uint8_t* p) { return get16(p) | (static_cast<uint32_t>(get16(p + 2)) << 16); }

}  // namespace

WaveFormat parseWaveFormat(const uint8_t* bytes, size_t size) {
    WaveFormat f;
    f.raw.assign(bytes, bytes + size);
    if (size < 14) return f;
    f.formatTag = get16(bytes);
    f.channels = get16(bytes + 2);
    f.samplesPerSec = get32(bytes + 4);
    f.avgBytesPerSec = get32(bytes + 8);
    f.blockAlign = get16(bytes + 12);
    if (size >= 16) {
        f.bitsPerSample = get16(bytes + 14);
    } else if (f.formatTag == kWaveFormatPcm) {
        if (f.channels != 0 && f.blockAlign == f.channels)
            f.bitsPerSample = 8;
        else if (f.channels != 0 && f.blockAlign == 4u * f.channels)
            f.bitsPerSample = 32;
        else
            f.bitsPerSample = 16;
    }
    if (size >= 18) f.extraSize = get16(bytes + 16);
    return f;
}

void buildWavHeader(uint8_t (&header)[kWavHeaderSize], uint16_t channels, uint32_t sampleRate,
                    uint16_t bytesPerSample, uint32_t dataSize) {
    const uint32_t blockAlign = static_cast<uint16_t>(channels * bytesPerSample);
    std::memcpy(header + 0, "RIFF", 4);
    put32(header + 4, dataSize + 38u);
    std::memcpy(header + 8, "WAVE", 4);
    std::memcpy(header + 12, "fmt ", 4);
    put32(header + 16, 18);
    put16(header + 20, kWaveFormatPcm);
    put16(header + 22, channels);
    put32(header + 24, sampleRate);
    put32(header + 28, blockAlign * sampleRate);
    put16(header + 32, blockAlign);
    put16(header + 34, bytesPerSample * 8u);
    put16(header + 36, 0);
    std::memcpy(header + 38, "data", 4);
    put32(header + 42, dataSize);
}

}  // namespace zelvaro
