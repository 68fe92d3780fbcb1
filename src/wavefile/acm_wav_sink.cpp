#include "wavefile/acm_wav_sink.h"

#include <algorithm>
#include <cstring>

#include "base/little_endian.h"
#include "base/wrapping.h"
#include "wavefile/sample_conversion.h"

namespace zelvaro {

namespace {

constexpr int32_t kPeakLevel = 524272;
// "RIFF", size, "WAVE", "fmt ", size, then the record, then "data", size.
constexpr uint32_t kHeaderBytesBesideRecord = 28;

}  // namespace

AcmWavSink::AcmWavSink(AcmApi& acm, const char* path, const WaveFormat& target)
    : SoundSink(static_cast<int32_t>(target.samplesPerSec), kPeakLevel, static_cast<uint8_t>(target.channels)),
      acm_(acm) {
    if (failed()) return;
    // The codec is asked first: a format it cannot write must leave an
    // existing file of that name as it was.
    if (!openStream(target)) {
        markFailed();
        closeStream();
        return;
    }
    file = FileStream::openForWriting(path);
    if (!file.isOpen()) {
        markFailed();
        closeStream();
        return;
    }
    noteIo(file.seekTo(0) && file.cutHere());
    writeHeader();
}

bool AcmWavSink::openStream(const WaveFormat& target) {
    if (!acmFormatRecord(target, format)) return false;
    const std::vector<uint8_t> pcm = acmPcmRecord(channels, target.samplesPerSec);
    if (acm_.streamOpen(stream, pcm.data(), format.data(), 0) != kAcmOk &&
        acm_.streamOpen(stream, pcm.data(), format.data(), kAcmOpenNonRealtime) != kAcmOk)
        stream = nullptr;
    if (stream == nullptr) return false;
    const uint32_t frameBytes = channels * 2u;
    pcmCapacity = frameBytes * kMaxBlockFrames;
    if (acm_.streamSize(stream, pcmCapacity, compressedCapacity, kAcmSizeSource) != kAcmOk ||
        compressedCapacity == 0 || compressedCapacity > kAcmMaxBufferBytes)
        return false;
    pcm_.resize(pcmCapacity);
    compressed_.resize(compressedCapacity);
    header.source = pcm_.data();
    header.sourceLength = pcmCapacity;
    header.destination = compressed_.data();
    header.destinationLength = compressedCapacity;
    if (acm_.streamPrepareHeader(stream, header) != kAcmOk) return false;
    header.prepared = true;
    header.sourceLength = 0;
    uint32_t block = 0;
    if (target.blockAlign > 0 &&
        acm_.streamSize(stream, target.blockAlign, block, kAcmSizeDestination) == kAcmOk && block > 0 &&
        block % frameBytes == 0 && block <= pcmCapacity)
        blockPcmBytes = block;
    return true;
}

void AcmWavSink::closeStream() {
    if (stream == nullptr) return;
    if (header.prepared) {
        header.sourceLength = pcmCapacity;
        header.destinationLength = compressedCapacity;
        acm_.streamUnprepareHeader(stream, header);
        header.prepared = false;
    }
    acm_.streamClose(stream);
    stream = nullptr;
}

AcmWavSink::~AcmWavSink() { finish(); }

void AcmWavSink::noteIo(bool ok) {
    if (!ok) status |= kStatusWriteError;
}

void AcmWavSink::writeHeader() {
    const uint32_t x = static_cast<uint32_t>(format.size()) - 18u;
    std::vector<uint8_t> h(kHeaderBytesBesideRecord + format.size());
    std::memcpy(&h[0], "RIFF", 4);
    putLe32(&h[4], x + dataBytes + 38u);
    std::memcpy(&h[8], "WAVE", 4);
    std::memcpy(&h[12], "fmt ", 4);
    putLe32(&h[16], x + 18u);
    std::memcpy(&h[20], format.data(), format.size());
    std::memcpy(&h[20 + format.size()], "data", 4);
    putLe32(&h[24 + format.size()], dataBytes);
    noteIo(file.write(h.data(), static_cast<uint32_t>(h.size())));
}

int64_t AcmWavSink::framesLeft() const {
    if (failed()) return 0;
    // What still fits below 4 GiB, less one buffer of output held in reserve
    // for the data the codec has not given back yet.
    const int64_t bytes = static_cast<int64_t>(kMaxWavFileSize) - kHeaderBytesBesideRecord -
                          static_cast<int64_t>(format.size()) - dataBytes - compressedCapacity;
    if (bytes <= 0) return 0;
    const uint32_t byteRate = format.size() >= 12 ? getLe32(&format[8]) : 0;
    // Without a byte rate, one frame per byte: an undercount for the codecs
    // that spend less than a byte on a frame, which errs on the safe side.
    if (byteRate == 0) return bytes;
    return bytes * sampleRate / byteRate;
}

bool AcmWavSink::convert(uint32_t flags) {
    const uint32_t fill = header.sourceLength;
    header.destinationLength = compressedCapacity;
    header.sourceUsed = 0;
    header.destinationUsed = 0;
    if (acm_.streamConvert(stream, header, flags) != kAcmOk) return false;
    const uint32_t consumed = std::min(header.sourceUsed, fill);
    const uint32_t produced = std::min(header.destinationUsed, compressedCapacity);
    if (produced > 0) {
        const uint64_t fileBytes = kHeaderBytesBesideRecord + format.size() + static_cast<uint64_t>(dataBytes) + produced;
        if (fileBytes > kMaxWavFileSize || !file.write(compressed_.data(), produced)) return false;
        dataBytes += produced;
    }
    std::memmove(pcm_.data(), pcm_.data() + consumed, fill - consumed);
    header.sourceLength = fill - consumed;
    // A full buffer that the codec takes nothing from would be offered again
    // forever.
    return !(fill == pcmCapacity && consumed == 0);
}

void AcmWavSink::write(const int32_t* samples, int frames) {
    if (frames <= 0) return;
    framesWritten = addWrapping(framesWritten, frames);
    if (failed() || writeError() || !file.isOpen() || stream == nullptr) return;
    size_t left = static_cast<size_t>(frames) * channels;
    while (left > 0) {
        const size_t n = std::min<size_t>(left, (pcmCapacity - header.sourceLength) / 2);
        convertInt32To16(pcm_.data() + header.sourceLength, samples, n);
        samples += n;
        left -= n;
        header.sourceLength += static_cast<uint32_t>(n * 2);
        if (!convert(kAcmConvertBlockAlign)) {
            noteIo(false);
            return;
        }
    }
}

bool AcmWavSink::finish() {
    if (stream != nullptr && file.isOpen() && !writeError()) {
        // Block codecs keep a final partial block back even at the end of
        // the stream: silence completes it, so every frame written is kept.
        if (blockPcmBytes > 0 && header.sourceLength % blockPcmBytes != 0) {
            const uint32_t padded = (header.sourceLength / blockPcmBytes + 1) * blockPcmBytes;
            if (padded <= pcmCapacity) {
                std::memset(pcm_.data() + header.sourceLength, 0, padded - header.sourceLength);
                header.sourceLength = padded;
            }
        }
        noteIo(convert(kAcmConvertEnd));
    }
    closeStream();
    if (file.isOpen()) {
        if (file.seekTo(0))
            writeHeader();
        else
            noteIo(false);
        noteIo(file.close());
    }
    return !writeError();
}

}  // namespace zelvaro
