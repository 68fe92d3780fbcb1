#include "wavefile/wav_file.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <utility>

#include "base/little_endian.h"
#include "wavefile/chunk_walker.h"
#include "wavefile/compressed_wav.h"
#include "wavefile/file_stream.h"
#include "wavefile/unreadable_wav_source.h"
#include "wavefile/wav_file_sink.h"
#include "wavefile/wav_file_source.h"

namespace zelvaro {

namespace {

constexpr uint32_t kMinFormatChunk = 14;
constexpr uint32_t kMaxFormatChunk = 8192;
constexpr uint32_t kMaxChannels = 255;
constexpr uint32_t kMaxSampleRate = 192000;

// Steps over top-level chunks of other kinds up to the RIFF WAVE form.
bool findWaveForm(ChunkWalker& walk) {
    for (;;) {
        uint8_t header[12];
        if (!walk.readExact(header, 12)) return false;
        if (std::memcmp(header, "RIFF", 4) == 0 && std::memcmp(header + 8, "WAVE", 4) == 0) return true;
        int32_t padded = paddedSize(getLe32(header + 4));
        if (padded <= 4 || !walk.skip(static_cast<uint32_t>(padded) - 4u)) return false;
    }
}

template <typename Source>
SoundSourceRef makeSource(FileStream file, const WaveFormat& format, const SampleLayout& layout) {
    auto* source = new (std::nothrow) Source(std::move(file), static_cast<int32_t>(format.samplesPerSec),
                                             static_cast<uint8_t>(format.channels),
                                             layout.containerBits - layout.validBits);
    return SoundSourceRef(source);
}

template <typename Sink, typename Output>
SoundSinkRef makeSink(Output&& output, int32_t rate, int startFrame, uint8_t channels) {
    return SoundSinkRef(new (std::nothrow) Sink(std::forward<Output>(output), rate, startFrame, channels));
}

}  // namespace

SoundSinkRef createWavSink(const char* path, int32_t sampleRate, int startFrame, uint16_t bitsPerSample,
                           uint8_t channels) {
    if (bitsPerSample <= 8) return makeSink<WavFileSink8>(path, sampleRate, startFrame, channels);
    if (bitsPerSample <= 16) return makeSink<WavFileSink16>(path, sampleRate, startFrame, channels);
    return makeSink<WavFileSink32>(path, sampleRate, startFrame, channels);
}

SoundSinkRef createWavSink(FileStream output, int32_t sampleRate, uint16_t bitsPerSample, uint8_t channels) {
    if (bitsPerSample <= 8) return makeSink<WavFileSink8>(std::move(output), sampleRate, 0, channels);
    if (bitsPerSample <= 16) return makeSink<WavFileSink16>(std::move(output), sampleRate, 0, channels);
    return makeSink<WavFileSink32>(std::move(output), sampleRate, 0, channels);
}

SoundSinkRef createWavSinkForFormat(const char* path, const WaveFormat& format) {
    if (format.formatTag != kWaveFormatPcm) return createCompressedWavSink(path, format);
    return createWavSink(path, static_cast<int32_t>(format.samplesPerSec), 0, format.bitsPerSample,
                         static_cast<uint8_t>(format.channels));
}

SoundSourceRef openWavSource(const char* path, WaveFormat* formatOut) {
    FileStream file = FileStream::openForReading(path);
    if (!file.isOpen()) return {};
    ChunkWalker walk(file);
    if (!findWaveForm(walk)) return {};

    uint32_t formatSize = 0;
    if (!walk.findChunk("fmt ", formatSize)) return {};
    if (formatSize < kMinFormatChunk || formatSize > kMaxFormatChunk) return {};
    uint8_t formatBytes[kMaxFormatChunk];
    if (!walk.readExact(formatBytes, formatSize)) return {};
    WaveFormat format = parseWaveFormat(formatBytes, formatSize);

    // The next chunk is sought right after an odd-sized format chunk, with no
    // pad byte. Writers that do pad it would then never reach their data, so
    // the search is tried once more past the pad byte.
    const uint64_t formatEnd = walk.offset();
    uint32_t dataBytes = 0;
    bool found = walk.findChunk("data", dataBytes);
    if (!found && (formatSize & 1u) != 0)
        found = walk.seekTo(formatEnd + 1) && walk.findChunk("data", dataBytes);
    if (!found) return {};
    if (format.channels < 1 || format.channels > kMaxChannels) return {};
    if (format.samplesPerSec < 1 || format.samplesPerSec > kMaxSampleRate) return {};

    const SampleLayout layout = sampleLayout(format);
    SoundSourceRef source;
    if (layout.kind == SampleLayout::kCompressed)
        source = openCompressedWavSource(std::move(file), format, dataBytes);
    else if (layout.kind == SampleLayout::kFloat && (layout.containerBits == 32 || layout.containerBits == 64))
        source = SoundSourceRef(new (std::nothrow) WavFileSourceFloat(
            std::move(file), static_cast<int32_t>(format.samplesPerSec), static_cast<uint8_t>(format.channels),
            layout.containerBits / 8));
    else if (layout.kind == SampleLayout::kFloat)
        source = SoundSourceRef(new (std::nothrow) UnreadableWavSource(format));
    else if (layout.containerBits == 8)
        source = makeSource<WavFileSource8>(std::move(file), format, layout);
    else if (layout.containerBits == 16)
        source = makeSource<WavFileSource16>(std::move(file), format, layout);
    else if (layout.containerBits == 24)
        source = makeSource<WavFileSource24>(std::move(file), format, layout);
    else if (layout.containerBits == 32)
        source = makeSource<WavFileSource32>(std::move(file), format, layout);
    else
        source = SoundSourceRef(new (std::nothrow) UnreadableWavSource(format));
    if (source && formatOut) *formatOut = std::move(format);
    return source;
}

}  // namespace zelvaro
