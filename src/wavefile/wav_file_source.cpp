#include "wavefile/wav_file_source.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "base/little_endian.h"
#include "wavefile/sample_conversion.h"

namespace zelvaro {

WavFileSource::WavFileSource(FileStream openFile, int32_t rate, int32_t sampleBytes, int32_t peak,
                             uint8_t channelCount, int32_t lowBitsIgnored)
    : SoundSource(rate, peak, channelCount),
      file(std::move(openFile)),
      bytesPerSample(sampleBytes),
      ignoredBits(lowBitsIgnored) {
    conversionBuffer.resize(static_cast<size_t>(channels) * kMaxBlockFrames * static_cast<size_t>(bytesPerSample));
    int64_t at = file.tell();
    // Without a position there is no data to find; a source that cannot know
    // where its data starts is of no use.
    if (at < 4) {
        markFailed();
        return;
    }
    dataStart = static_cast<uint32_t>(at);
    dataSizeOffset = dataStart - 4;
    refreshLength();
}

void WavFileSource::refreshLength() {
    if (failed() || channels == 0) return;
    int64_t at = file.tell();
    if (at < 0) return;
    uint8_t field[4];
    uint32_t got = 0;
    if (file.seekTo(dataSizeOffset) && file.read(field, 4, got) && got == 4) {
        uint32_t size = getLe32(field);
        // A file cut shorter than its data start holds no data at all.
        // The file's full size counts: a file past 4 GiB (a stream's
        // recording, say) holds at least as much as any 32-bit size claims.
        const uint64_t fileSize = file.size();
        const uint64_t present = fileSize > dataStart ? fileSize - dataStart : 0;
        size = static_cast<uint32_t>(std::min<uint64_t>(size, present));
        lengthFrames = static_cast<int32_t>(
            std::min<uint32_t>(size / frameBytes(), static_cast<uint32_t>(std::numeric_limits<int32_t>::max())));
    }
    file.seekTo(static_cast<uint32_t>(at));
}

void WavFileSource::seek(int frame) {
    if (failed()) return;
    framePosition = frame;
    if (frame <= 0) {
        file.seekTo(dataStart);
        return;
    }
    if (frame > lengthFrames) refreshLength();
    // Data of up to 4 GiB may start well into the file: the offset is exact
    // past 4 GiB too.
    const uint64_t target = static_cast<uint64_t>(std::min(frame, lengthFrames));
    file.seekTo(dataStart + target * frameBytes());
}

int WavFileSource::length() {
    if (lengthFrames <= framePosition) refreshLength();
    return lengthFrames;
}

void WavFileSource::read(int32_t* samples, int frames) {
    // conversionBuffer holds one block: larger requests go in pieces.
    for (int done = 0; done < frames; done += kMaxBlockFrames)
        readBlock(samples + static_cast<size_t>(done) * channels, std::min(kMaxBlockFrames, frames - done));
}

void WavFileSource::readBlock(int32_t* samples, int frames) {
    const size_t total = static_cast<size_t>(frames) * channels;
    // The position names the frame after this block; it wraps rather than
    // overflows after a seek near the top of the int range.
    uint32_t next = static_cast<uint32_t>(framePosition) + static_cast<uint32_t>(frames);
    framePosition = next <= 0x7FFFFFFFu ? static_cast<int32_t>(next) : -static_cast<int32_t>(~next) - 1;
    if (failed() || framePosition <= 0) {
        std::memset(samples, 0, total * sizeof(int32_t));
        return;
    }
    int count = frames;
    size_t lead = 0;
    if (count > framePosition) {
        lead = static_cast<size_t>(count - framePosition) * channels;
        count = framePosition;
    }
    int toRead = count;
    if (framePosition > lengthFrames) {
        refreshLength();
        if (lengthFrames < framePosition) toRead = std::max(0, count - (framePosition - lengthFrames));
    }
    size_t filled = 0;
    uint32_t got = 0;
    if (toRead > 0) {
        file.read(conversionBuffer.data(), static_cast<uint32_t>(toRead) * frameBytes(), got);
        clearLowBits(conversionBuffer.data(), got / static_cast<uint32_t>(bytesPerSample), bytesPerSample, ignoredBits);
        filled = convert(samples + lead, got);
    }
    std::memset(samples, 0, lead * sizeof(int32_t));
    std::memset(samples + lead + filled, 0, (total - lead - filled) * sizeof(int32_t));
}

WavFileSource8::WavFileSource8(FileStream openFile, int32_t rate, uint8_t channelCount, int32_t lowBitsIgnored)
    : WavFileSource(std::move(openFile), rate, 1, kPeakLevel, channelCount, lowBitsIgnored) {}

size_t WavFileSource8::convert(int32_t* samples, size_t bytes) {
    convert8ToInt32(samples, conversionBuffer.data(), bytes);
    return bytes;
}

WavFileSource16::WavFileSource16(FileStream openFile, int32_t rate, uint8_t channelCount, int32_t lowBitsIgnored)
    : WavFileSource(std::move(openFile), rate, 2, kPeakLevel, channelCount, lowBitsIgnored) {}

size_t WavFileSource16::convert(int32_t* samples, size_t bytes) {
    convert16ToInt32(samples, conversionBuffer.data(), bytes / 2);
    return bytes / 2;
}

WavFileSource24::WavFileSource24(FileStream openFile, int32_t rate, uint8_t channelCount, int32_t lowBitsIgnored)
    : WavFileSource(std::move(openFile), rate, 3, kPeakLevel, channelCount, lowBitsIgnored) {}

size_t WavFileSource24::convert(int32_t* samples, size_t bytes) {
    convert24ToInt32(samples, conversionBuffer.data(), bytes / 3);
    return bytes / 3;
}

WavFileSource32::WavFileSource32(FileStream openFile, int32_t rate, uint8_t channelCount, int32_t lowBitsIgnored)
    : WavFileSource(std::move(openFile), rate, 4, kPeakLevel, channelCount, lowBitsIgnored) {}

size_t WavFileSource32::convert(int32_t* samples, size_t bytes) {
    convert32ToInt32(samples, conversionBuffer.data(), bytes / 4);
    return bytes / 4;
}

WavFileSourceFloat::WavFileSourceFloat(FileStream openFile, int32_t rate, uint8_t channelCount, int32_t sampleBytes)
    : WavFileSource(std::move(openFile), rate, sampleBytes, kPeakLevel, channelCount) {}

size_t WavFileSourceFloat::convert(int32_t* samples, size_t bytes) {
    const size_t count = bytes / static_cast<size_t>(bytesPerSample);
    if (bytesPerSample == 8)
        convertFloat64ToInt32(samples, conversionBuffer.data(), count);
    else
        convertFloat32ToInt32(samples, conversionBuffer.data(), count);
    return count;
}

}  // namespace zelvaro
