#include "wavefile/acm_wav_sink.h"

#include <algorithm>
#include <cstring>

#include "base/little_endian.h"
#include "base/wrapping.h"
#include "wavefile/sample_conversion.h"

namespace zelvaro {

namespace {

constexpr int32_t kPeakLevel = 524272;

}  // namespace

AcmWavSink::AcmWavSink(AcmApi& acm, const char* path, const WaveFormat& target)
    : SoundSink(static_cast<int32_t>(target.samplesPerSec), kPeakLevel, static_cast<uint8_t>(target.channels)),
      acm_(acm) {
    if (failed()) return;
    // The codec is asked first: a format it cannot write must leave an
    // existing file of that name as it was.
    if (!openStream(target)) {
        status |= kStatusCodecError;
        markFailed();
        closeStream();
        return;
    }
    file = FileStream::openForWriting(path);
    if (!file.isOpen()) {
        systemError = file.lastError();
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
    int rc = acm_.streamOpen(stream, pcm.data(), format.data(), 0);
    if (rc != kAcmOk) rc = acm_.streamOpen(stream, pcm.data(), format.data(), kAcmOpenNonRealtime);
    if (rc != kAcmOk) stream = nullptr;
    if (stream == nullptr) {
        codecError = rc;
        return false;
    }
    const uint32_t frameBytes = channels * 2u;
    pcmCapacity = frameBytes * kMaxBlockFrames;
    rc = acm_.streamSize(stream, pcmCapacity, compressedCapacity, kAcmSizeSource);
    if (rc != kAcmOk || compressedCapacity == 0 || compressedCapacity > kAcmMaxBufferBytes) {
        codecError = rc;
        return false;
    }
    pcm_.resize(pcmCapacity);
    compressed_.resize(compressedCapacity);
    header.source = pcm_.data();
    header.sourceLength = pcmCapacity;
    header.destination = compressed_.data();
    header.destinationLength = compressedCapacity;
    rc = acm_.streamPrepareHeader(stream, header);
    if (rc != kAcmOk) {
        codecError = rc;
        return false;
    }
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
    if (ok) return;
    if (!writeError()) systemError = file.lastError();
    status |= kStatusWriteError;
}

void AcmWavSink::noteCodecFailure(int rc) {
    if (!writeError()) codecError = rc;
    status |= kStatusWriteError | kStatusCodecError;
}

void AcmWavSink::writeHeader() {
    std::vector<uint8_t> h(kRiffHeaderBesideRecord + format.size());
    buildRiffWaveHeader(h.data(), format.data(), static_cast<uint32_t>(format.size()), dataBytes);
    noteIo(file.write(h.data(), static_cast<uint32_t>(h.size())));
}

int64_t AcmWavSink::framesLeft() const {
    if (failed()) return 0;
    // What still fits below 4 GiB, less one buffer of output held in reserve
    // for the data the codec has not given back yet.
    const int64_t bytes = static_cast<int64_t>(kMaxWavFileSize) - kRiffHeaderBesideRecord -
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
    const int rc = acm_.streamConvert(stream, header, flags);
    if (rc != kAcmOk) {
        noteCodecFailure(rc);
        return false;
    }
    const uint32_t consumed = std::min(header.sourceUsed, fill);
    const uint32_t produced = std::min(header.destinationUsed, compressedCapacity);
    if (produced > 0) {
        const uint64_t fileBytes =
            kRiffHeaderBesideRecord + format.size() + static_cast<uint64_t>(dataBytes) + produced;
        if (fileBytes > kMaxWavFileSize) {
            // Past 4 GiB the header could no longer describe the data.
            status |= kStatusWriteError;
            return false;
        }
        if (!file.write(compressed_.data(), produced)) {
            noteIo(false);
            return false;
        }
        dataBytes += produced;
    }
    std::memmove(pcm_.data(), pcm_.data() + consumed, fill - consumed);
    header.sourceLength = fill - consumed;
    // A buffer without room for another sample that the codec takes nothing
    // from would be offered again forever. An odd number of bytes taken
    // before can leave it a byte short of full, so room, not fullness, counts.
    if (consumed == 0 && pcmCapacity - header.sourceLength < 2) {
        noteCodecFailure(0);
        return false;
    }
    return true;
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
        if (!convert(kAcmConvertBlockAlign)) return;
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
        convert(kAcmConvertEnd);
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
