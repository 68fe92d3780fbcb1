// PCM WAV writers. The base owns the output file and its header; a variant
// adds the conversion from int32 samples to its sample width.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

#include "wavefile/file_stream.h"
#include "wavefile/sound_sink.h"
#include "wavefile/wav_header.h"

namespace zelvaro {

class WavFileSink : public SoundSink {
public:
    // Writes the final header (true data size) and closes the file.
    ~WavFileSink() override;

    // Appends frames; a failed sink only counts them.
    void write(const int32_t* samples, int frames) override;
    // Cuts the data back to `frames` frames (0 when negative); more frames
    // than written changes nothing.
    void truncate(int frames) override;
    // Writes the final header and closes the file now.
    bool finish() override;
    int64_t framesLeft() const override;
    // On an output that cannot seek (a pipe), writes the header with this
    // length; without it, the first write puts the header of a stream of
    // unknown length (RIFF and data sizes 0xFFFFFFFF, read to the end).
    void expectFrames(int64_t frames) override;

    bool fileOpen() const { return file.isOpen(); }

    int32_t bytesPerSample;
    // Written into the header: PCM, or IEEE float for a float variant.
    uint16_t formatTag;
    FileStream file;
    int32_t framesUntilHeaderRefresh = 0;
    std::vector<uint8_t> conversionBuffer;

protected:
    // Opens (or creates) the file and keeps its first `startFrame` frames of
    // data (none when negative); everything after them is cut off.
    WavFileSink(const char* path, int32_t rate, int startFrame, int32_t sampleBytes, int32_t peak,
                uint8_t channelCount);
    // Takes an output already open for writing (standard output, say); a
    // closed one gives a failed sink. `tag` goes into every header written.
    WavFileSink(FileStream output, int32_t rate, int startFrame, int32_t sampleBytes, int32_t peak,
                uint8_t channelCount, uint16_t tag = kWaveFormatPcm);

    // Converts `count` of the chain's int32 samples into conversionBuffer.
    virtual void convert(const int32_t* samples, size_t count) = 0;

    // Puts `count` samples, from sample `firstSample` of what the caller is
    // appending, into conversionBuffer.
    using BlockConverter = std::function<void(size_t firstSample, size_t count)>;
    // The one way samples of either chain reach the file: appends `frames`
    // frames in blocks of at most kMaxBlockFrames (what conversionBuffer
    // holds), each converted by `convert`; a failed sink only counts them.
    void appendFrames(int frames, const BlockConverter& convert);

private:
    void appendBlock(size_t firstSample, int frames, const BlockConverter& convert);
    // The 46-byte header at the current offset (always 0), then a flush. The
    // provisional form states 32 seconds more data than written, so that a
    // reader following the file while it grows keeps finding new data.
    void writeHeader(bool final);
    // The header with a data size of its own, at the current offset.
    void putHeader(uint32_t dataSize, bool unknownLength);
    uint32_t dataBytes(int64_t frames) const;
    int64_t frameCapacity() const;
    // Moves to the end of the kept data and cuts the file there.
    void cutAfterData();
    // Moves to offset 0 for a header rewrite; false (and a write error) when
    // the output cannot seek, in which case the header must not be written.
    bool rewind();
    void noteIo(bool ok);

    // False for a pipe and the like: the header is then written once, before
    // the data, and never refreshed.
    bool seekable_ = true;
    bool headerPending_ = false;
};

class WavFileSink8 final : public WavFileSink {
public:
    static constexpr int32_t kPeakLevel = 260096;  // 127 * 2048
    WavFileSink8(const char* path, int32_t rate, int startFrame, uint8_t channelCount);
    WavFileSink8(FileStream output, int32_t rate, int startFrame, uint8_t channelCount);

private:
    void convert(const int32_t* samples, size_t count) override;
};

class WavFileSink16 final : public WavFileSink {
public:
    static constexpr int32_t kPeakLevel = 524272;  // 32767 * 16
    WavFileSink16(const char* path, int32_t rate, int startFrame, uint8_t channelCount);
    WavFileSink16(FileStream output, int32_t rate, int startFrame, uint8_t channelCount);

private:
    void convert(const int32_t* samples, size_t count) override;
};

class WavFileSink32 final : public WavFileSink {
public:
    static constexpr int32_t kPeakLevel = 524272;
    WavFileSink32(const char* path, int32_t rate, int startFrame, uint8_t channelCount);
    WavFileSink32(FileStream output, int32_t rate, int startFrame, uint8_t channelCount);

private:
    void convert(const int32_t* samples, size_t count) override;
};

}  // namespace zelvaro
