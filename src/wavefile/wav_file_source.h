// PCM WAV readers: a SoundSource over the sample data of an open WAV file.
// Reads before frame 0 or past the data give silence; the length follows a
// file that another process is still writing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "signal/sound_source.h"
#include "wavefile/file_stream.h"

namespace zelvaro {

class WavFileSource : public SoundSource {
public:
    // Fills the whole block; the position always advances by `frames`.
    void read(int32_t* samples, int frames) override;
    void seek(int frame) override;
    int position() override { return framePosition; }
    // Re-reads the data size first when the position has reached the end.
    int length() override;

    // Re-reads the data chunk's size field, clamped to the bytes the file
    // really holds after dataStart.
    void refreshLength();

    FileStream file;
    uint32_t dataStart = 0;
    uint32_t dataSizeOffset = 0;
    int32_t framePosition = 0;
    int32_t lengthFrames = 0;
    int32_t bytesPerSample;
    // Low bits of each sample below the record's valid bits, cleared before
    // conversion.
    int32_t ignoredBits;
    std::vector<uint8_t> conversionBuffer;

protected:
    // `openFile` must stand at the first byte of sample data, right after the
    // data chunk's size field.
    WavFileSource(FileStream openFile, int32_t rate, int32_t sampleBytes, int32_t peak, uint8_t channelCount,
                  int32_t lowBitsIgnored = 0);

    // Converts the whole samples among `bytes` bytes of conversionBuffer into
    // `samples`; returns how many samples it wrote.
    virtual size_t convert(int32_t* samples, size_t bytes) = 0;

private:
    void readBlock(int32_t* samples, int frames);
    uint32_t frameBytes() const { return static_cast<uint32_t>(channels) * static_cast<uint32_t>(bytesPerSample); }
};

class WavFileSource8 final : public WavFileSource {
public:
    static constexpr int32_t kPeakLevel = 260096;
    WavFileSource8(FileStream openFile, int32_t rate, uint8_t channelCount, int32_t lowBitsIgnored = 0);

private:
    size_t convert(int32_t* samples, size_t bytes) override;
};

class WavFileSource16 final : public WavFileSource {
public:
    static constexpr int32_t kPeakLevel = 524272;
    WavFileSource16(FileStream openFile, int32_t rate, uint8_t channelCount, int32_t lowBitsIgnored = 0);

private:
    size_t convert(int32_t* samples, size_t bytes) override;
};

class WavFileSource24 final : public WavFileSource {
public:
    static constexpr int32_t kPeakLevel = 524272;
    WavFileSource24(FileStream openFile, int32_t rate, uint8_t channelCount, int32_t lowBitsIgnored = 0);

private:
    size_t convert(int32_t* samples, size_t bytes) override;
};

class WavFileSource32 final : public WavFileSource {
public:
    static constexpr int32_t kPeakLevel = 524272;
    WavFileSource32(FileStream openFile, int32_t rate, uint8_t channelCount, int32_t lowBitsIgnored = 0);

private:
    size_t convert(int32_t* samples, size_t bytes) override;
};

// IEEE float samples of `sampleBytes` bytes (4 or 8): +-1.0 is the 16-bit
// full scale.
class WavFileSourceFloat final : public WavFileSource {
public:
    static constexpr int32_t kPeakLevel = 524272;
    WavFileSourceFloat(FileStream openFile, int32_t rate, uint8_t channelCount, int32_t sampleBytes);

private:
    size_t convert(int32_t* samples, size_t bytes) override;
};

}  // namespace zelvaro
