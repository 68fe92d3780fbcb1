#include "tone/tone_file.h"

#include <cstdio>
#include <cstring>
#include <limits>

#include "tone/file_replace.h"

namespace zelvaro {

static_assert(std::numeric_limits<double>::is_iec559 && sizeof(double) == 8,
              "tone files store frequencies as IEEE 754 doubles");

namespace {

constexpr size_t kFlagsOffset = 0;
constexpr size_t kWaveformOffset = 2;
constexpr size_t kToneCountOffset = 3;
constexpr size_t kDurationOffset = 4;
constexpr size_t kStartLeftOffset = 8;
constexpr size_t kEndLeftOffset = 136;
constexpr size_t kStartRightOffset = 264;
constexpr size_t kEndRightOffset = 392;
constexpr size_t kAmplitudeOffset = 520;

void putLe(uint8_t* out, uint64_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out[i] = static_cast<uint8_t>(value >> (8 * i));
}

uint64_t getLe(const uint8_t* in, int bytes) {
    uint64_t value = 0;
    for (int i = 0; i < bytes; ++i) value |= static_cast<uint64_t>(in[i]) << (8 * i);
    return value;
}

void putDoubles(uint8_t* out, const double (&values)[kMaxTones]) {
    for (int i = 0; i < kMaxTones; ++i) {
        uint64_t bits;
        std::memcpy(&bits, &values[i], sizeof bits);
        putLe(out + 8 * i, bits, 8);
    }
}

void getDoubles(const uint8_t* in, double (&values)[kMaxTones]) {
    for (int i = 0; i < kMaxTones; ++i) {
        const uint64_t bits = getLe(in + 8 * i, 8);
        std::memcpy(&values[i], &bits, sizeof bits);
    }
}

}  // namespace

void encodeToneSettings(const ToneSettings& tone, uint8_t (&image)[kToneSettingsSize]) {
    putLe(image + kFlagsOffset, tone.flags, 2);
    image[kWaveformOffset] = tone.waveform;
    image[kToneCountOffset] = tone.toneCount;
    putLe(image + kDurationOffset, tone.durationMs, 4);
    putDoubles(image + kStartLeftOffset, tone.startLeft);
    putDoubles(image + kEndLeftOffset, tone.endLeft);
    putDoubles(image + kStartRightOffset, tone.startRight);
    putDoubles(image + kEndRightOffset, tone.endRight);
    for (int i = 0; i < kMaxTones; ++i) {
        image[kAmplitudeOffset + i] = static_cast<uint8_t>(tone.relativeAmplitude[i]);
    }
}

void decodeToneSettings(const uint8_t* bytes, size_t size, ToneSettings& tone) {
    // A short file overwrites only the leading bytes of the image, possibly part
    // of a field, so merge it into the current image and decode the whole image.
    uint8_t image[kToneSettingsSize];
    encodeToneSettings(tone, image);
    if (size > kToneSettingsSize) size = kToneSettingsSize;
    if (size == 0) return;
    std::memcpy(image, bytes, size);

    tone.flags = static_cast<uint16_t>(getLe(image + kFlagsOffset, 2));
    tone.waveform = image[kWaveformOffset];
    tone.toneCount = image[kToneCountOffset];
    tone.durationMs = static_cast<uint32_t>(getLe(image + kDurationOffset, 4));
    getDoubles(image + kStartLeftOffset, tone.startLeft);
    getDoubles(image + kEndLeftOffset, tone.endLeft);
    getDoubles(image + kStartRightOffset, tone.startRight);
    getDoubles(image + kEndRightOffset, tone.endRight);
    for (int i = 0; i < kMaxTones; ++i) {
        // Two's complement byte to int8 without relying on implementation-defined narrowing.
        const int byte = image[kAmplitudeOffset + i];
        tone.relativeAmplitude[i] = static_cast<int8_t>(byte >= 128 ? byte - 256 : byte);
    }
}

void sanitizeLoadedTone(ToneSettings& tone) {
    // Design decision: a file is never refused for a bad count or waveform; the
    // values are clamped instead, so the rest of the file still counts. A count of
    // 0 becomes 1 and one above 16 becomes 16; an unknown waveform code falls back
    // to Sine (code 0) rather than to the nearest code, which would turn a corrupt
    // file into noise.
    if (tone.toneCount < 1) tone.toneCount = 1;
    if (tone.toneCount > kMaxTones) tone.toneCount = kMaxTones;
    if (tone.waveform >= kWaveformCount) tone.waveform = kWaveSine;
}

bool saveToneFile(const std::string& path, const ToneSettings& tone) {
    uint8_t image[kToneSettingsSize];
    encodeToneSettings(tone, image);
    return replaceFileContents(path, image, sizeof image);
}

bool loadToneFile(const std::string& path, ToneSettings& tone) {
    // "rb" opens for reading and lets others read the file at the same time.
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) return false;
    uint8_t bytes[kToneSettingsSize];
    const size_t got = std::fread(bytes, 1, sizeof bytes, file);
    // A read error is not a short file: its bytes are not trusted at all.
    const bool readFailed = std::ferror(file) != 0;
    std::fclose(file);
    if (readFailed) return false;
    decodeToneSettings(bytes, got, tone);
    sanitizeLoadedTone(tone);
    return true;
}

}  // namespace zelvaro
