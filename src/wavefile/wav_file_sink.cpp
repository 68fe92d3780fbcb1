#include "wavefile/wav_file_sink.h"

#include <algorithm>
#include <limits>
#include <utility>

#include "base/wrapping.h"
#include "wavefile/sample_conversion.h"

namespace zelvaro {

WavFileSink::WavFileSink(const char* path, int32_t rate, int startFrame, int32_t sampleBytes, int32_t peak,
                         uint8_t channelCount)
    : WavFileSink(FileStream::openForWriting(path), rate, startFrame, sampleBytes, peak, channelCount) {}

WavFileSink::WavFileSink(FileStream output, int32_t rate, int startFrame, int32_t sampleBytes, int32_t peak,
                         uint8_t channelCount, uint16_t tag)
    : SoundSink(rate, peak, channelCount), bytesPerSample(sampleBytes), formatTag(tag), file(std::move(output)) {
    if (!file.isOpen()) {
        systemError = file.lastError();
        markFailed();
        return;
    }
    // Nothing may reach a pipe before it is known whether the length will be
    // told: its header cannot be corrected afterwards.
    if (file.tell() < 0 || !file.seekTo(0)) {
        seekable_ = false;
        headerPending_ = true;
        return;
    }
    framesWritten = static_cast<int32_t>(std::clamp<int64_t>(startFrame, 0, frameCapacity()));
    writeHeader(false);
    cutAfterData();
}

WavFileSink::~WavFileSink() { finish(); }

int64_t WavFileSink::frameCapacity() const {
    int64_t frameBytes = static_cast<int64_t>(channels) * bytesPerSample;
    return std::min<int64_t>(static_cast<int64_t>(kMaxWavDataSize) / frameBytes,
                             std::numeric_limits<int32_t>::max());
}

int64_t WavFileSink::framesLeft() const {
    return std::max<int64_t>(0, frameCapacity() - std::max<int32_t>(framesWritten, 0));
}

uint32_t WavFileSink::dataBytes(int64_t frames) const {
    int64_t bytes = std::max<int64_t>(frames, 0) * channels * bytesPerSample;
    return static_cast<uint32_t>(std::min<int64_t>(bytes, static_cast<int64_t>(kMaxWavDataSize)));
}

void WavFileSink::noteIo(bool ok) {
    if (ok) return;
    if (!writeError()) systemError = file.lastError();
    status |= kStatusWriteError;
}

void WavFileSink::writeHeader(bool final) {
    // The provisional size runs 32 seconds ahead of the data. It is held below
    // the 32-bit limit so that the RIFF size (data + 38) never wraps.
    uint32_t size = final ? dataBytes(framesWritten)
                          : dataBytes(static_cast<int64_t>(framesWritten) + static_cast<int64_t>(sampleRate) * 32);
    putHeader(size, false);
    framesUntilHeaderRefresh =
        static_cast<int32_t>(std::clamp<int64_t>(static_cast<int64_t>(sampleRate) * 16, 0, 0x7FFFFFFF));
}

void WavFileSink::putHeader(uint32_t dataSize, bool unknownLength) {
    uint8_t header[kWavHeaderSize];
    buildWavHeader(header, channels, static_cast<uint32_t>(sampleRate), static_cast<uint16_t>(bytesPerSample),
                   dataSize, formatTag);
    if (unknownLength) {
        for (size_t i = 4; i < 8; ++i) header[i] = 0xFF;       // RIFF size
        for (size_t i = 42; i < 46; ++i) header[i] = 0xFF;     // data size
    }
    noteIo(file.write(header, kWavHeaderSize));
    noteIo(file.flush());
    headerPending_ = false;
}

void WavFileSink::expectFrames(int64_t frames) {
    if (headerPending_ && framesWritten == 0) putHeader(dataBytes(frames), false);
}

void WavFileSink::cutAfterData() {
    noteIo(file.seekTo(kWavHeaderSize + dataBytes(framesWritten)));
    noteIo(file.cutHere());
}

void WavFileSink::write(const int32_t* samples, int frames) {
    appendFrames(frames, [this, samples](size_t firstSample, size_t count) { convert(samples + firstSample, count); });
}

void WavFileSink::appendFrames(int frames, const BlockConverter& convert) {
    // conversionBuffer holds one block: larger requests go in pieces.
    for (int done = 0; done < frames; done += kMaxBlockFrames)
        appendBlock(static_cast<size_t>(done) * channels, std::min(kMaxBlockFrames, frames - done), convert);
}

void WavFileSink::appendBlock(size_t firstSample, int frames, const BlockConverter& convert) {
    if (failed() || !file.isOpen()) {
        framesWritten = addWrapping(framesWritten, frames);
        return;
    }
    if (headerPending_) putHeader(0xFFFFFFFFu, true);
    // Past the 32-bit size limit the header could no longer describe the
    // data: the part that fits is written, the rest is refused and reported,
    // and the count stays at what the file holds.
    const int64_t room = std::max<int64_t>(0, frameCapacity() - framesWritten);
    if (frames > room) {
        status |= kStatusWriteError;
        frames = static_cast<int>(room);
        if (frames == 0) return;
    }
    framesWritten += frames;
    const size_t count = static_cast<size_t>(frames) * channels;
    convert(firstSample, count);
    noteIo(file.write(conversionBuffer.data(), static_cast<uint32_t>(count * bytesPerSample)));
    if (!seekable_) return;
    framesUntilHeaderRefresh -= frames;
    if (framesUntilHeaderRefresh < 0) {
        int64_t at = file.tell();
        if (at >= 0 && rewind()) {
            writeHeader(false);
            noteIo(file.seekTo(static_cast<uint32_t>(at)));
        } else {
            noteIo(false);
            framesUntilHeaderRefresh = 0x7FFFFFFF;
        }
    }
}

void WavFileSink::truncate(int frames) {
    if (!file.isOpen() || !seekable_ || frames > framesWritten) return;
    if (!rewind()) return;
    framesWritten = std::max(frames, 0);
    writeHeader(false);
    cutAfterData();
}

bool WavFileSink::rewind() {
    const bool ok = file.seekTo(0);
    noteIo(ok);
    return ok;
}

bool WavFileSink::finish() {
    if (file.isOpen()) {
        if (!seekable_) {
            // A stream that got no frames still becomes a whole, empty file.
            if (headerPending_) putHeader(0, false);
        } else if (rewind()) {
            writeHeader(true);
        }
        noteIo(file.close());
    }
    return !writeError();
}

WavFileSink8::WavFileSink8(const char* path, int32_t rate, int startFrame, uint8_t channelCount)
    : WavFileSink8(FileStream::openForWriting(path), rate, startFrame, channelCount) {}

WavFileSink8::WavFileSink8(FileStream output, int32_t rate, int startFrame, uint8_t channelCount)
    : WavFileSink(std::move(output), rate, startFrame, 1, kPeakLevel, channelCount) {
    conversionBuffer.resize(static_cast<size_t>(channels) * kMaxBlockFrames * 1);
}

void WavFileSink8::convert(const int32_t* samples, size_t count) {
    convertInt32To8(conversionBuffer.data(), samples, count);
}

WavFileSink16::WavFileSink16(const char* path, int32_t rate, int startFrame, uint8_t channelCount)
    : WavFileSink16(FileStream::openForWriting(path), rate, startFrame, channelCount) {}

WavFileSink16::WavFileSink16(FileStream output, int32_t rate, int startFrame, uint8_t channelCount)
    : WavFileSink(std::move(output), rate, startFrame, 2, kPeakLevel, channelCount) {
    conversionBuffer.resize(static_cast<size_t>(channels) * kMaxBlockFrames * 2);
}

void WavFileSink16::convert(const int32_t* samples, size_t count) {
    convertInt32To16(conversionBuffer.data(), samples, count);
}

WavFileSink32::WavFileSink32(const char* path, int32_t rate, int startFrame, uint8_t channelCount)
    : WavFileSink32(FileStream::openForWriting(path), rate, startFrame, channelCount) {}

WavFileSink32::WavFileSink32(FileStream output, int32_t rate, int startFrame, uint8_t channelCount)
    : WavFileSink(std::move(output), rate, startFrame, 4, kPeakLevel, channelCount) {
    conversionBuffer.resize(static_cast<size_t>(channels) * kMaxBlockFrames * 4);
}

void WavFileSink32::convert(const int32_t* samples, size_t count) {
    convertInt32To32(conversionBuffer.data(), samples, count);
}

}  // namespace zelvaro
