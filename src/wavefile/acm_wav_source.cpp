#include "wavefile/acm_wav_source.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <new>

#include "base/wrapping.h"
#include "wavefile/sample_conversion.h"

namespace zelvaro {

namespace {

constexpr int32_t kPeakLevel = 524272;

int32_t toFrames(int64_t frames) {
    return static_cast<int32_t>(std::clamp<int64_t>(frames, 0, std::numeric_limits<int32_t>::max()));
}

}  // namespace

AcmWavSource::AcmWavSource(AcmApi& acm, FileStream openFile, const WaveFormat& format, uint32_t dataSize)
    : SoundSource(static_cast<int32_t>(format.samplesPerSec), kPeakLevel, static_cast<uint8_t>(format.channels)),
      file(std::move(openFile)),
      dataBytes(dataSize),
      formatRate(format.samplesPerSec),
      formatByteRate(format.avgBytesPerSec),
      formatBlockAlign(format.blockAlign),
      acm_(acm) {
    setUp(format);
}

void AcmWavSource::setUp(const WaveFormat& format) {
    const int64_t at = file.tell();
    std::vector<uint8_t> record;
    if (failed() || at < 0 || !acmFormatRecord(format, record)) {
        markFailed();
        return;
    }
    dataStart = static_cast<uint32_t>(at);
    // A size field beyond the file's end (a cut download, a writer that never
    // finished) counts only the bytes present, so the length estimate and
    // every seek stay inside the file.
    const uint64_t fileSize = file.size();
    dataBytes = static_cast<uint32_t>(std::min<uint64_t>(dataBytes, fileSize > dataStart ? fileSize - dataStart : 0));

    const std::vector<uint8_t> pcm = acmPcmRecord(channels, formatRate);
    if (acm_.streamOpen(stream, record.data(), pcm.data(), 0) != kAcmOk &&
        acm_.streamOpen(stream, record.data(), pcm.data(), kAcmOpenNonRealtime) != kAcmOk)
        stream = nullptr;
    if (stream == nullptr) {
        markFailed();
        return;
    }
    const uint32_t frameBytes = channels * 2u;
    pcmCapacity = frameBytes * kMaxBlockFrames;
    if (acm_.streamSize(stream, pcmCapacity, compressedCapacity, kAcmSizeDestination) != kAcmOk ||
        compressedCapacity == 0 || compressedCapacity > kAcmMaxBufferBytes) {
        markFailed();
        return;
    }
    compressed_.resize(compressedCapacity);
    pcm_.resize(pcmCapacity);
    scratch_.resize(static_cast<size_t>(channels) * kMaxBlockFrames);
    header.source = compressed_.data();
    header.sourceLength = compressedCapacity;
    header.destination = pcm_.data();
    header.destinationLength = pcmCapacity;
    if (acm_.streamPrepareHeader(stream, header) != kAcmOk) {
        markFailed();
        return;
    }
    header.prepared = true;
    header.sourceLength = 0;

    // A codec whose blocks each decode to the same number of frames lets a
    // seek start at the very block that holds the frame asked for; the byte
    // rate (rounded in the file) would land a frame or so away.
    uint32_t one = 0, two = 0;
    if (formatBlockAlign > 0 &&
        acm_.streamSize(stream, formatBlockAlign, one, kAcmSizeSource) == kAcmOk &&
        acm_.streamSize(stream, 2u * formatBlockAlign, two, kAcmSizeSource) == kAcmOk && one > 0 &&
        two == 2u * one && one % frameBytes == 0 && one / frameBytes <= static_cast<uint32_t>(kMaxBlockFrames))
        blockFrames = one / frameBytes;

    lengthFrames = toFrames(framesIn(dataBytes));
}

uint32_t AcmWavSource::framesIn(uint32_t compressedBytes) const {
    // Decoders give whole blocks only; and the byte rate a file states is
    // rounded at best (IMA ADPCM) and plain wrong in some writers' MS ADPCM
    // files, so blocks count when the codec says what a block holds.
    if (blockFrames > 0) return compressedBytes / formatBlockAlign * blockFrames;
    return formatByteRate ? acmScale(compressedBytes, formatRate, formatByteRate) : compressedBytes;
}

AcmWavSource::~AcmWavSource() {
    if (stream == nullptr) return;
    if (header.prepared) {
        header.sourceLength = compressedCapacity;
        header.destinationLength = pcmCapacity;
        acm_.streamUnprepareHeader(stream, header);
    }
    acm_.streamClose(stream);
}

int32_t AcmWavSource::framesOf(uint32_t bytes) const { return static_cast<int32_t>(bytes / (channels * 2u)); }

size_t AcmWavSource::decode(int32_t* samples, uint32_t bytes) {
    convert16ToInt32(samples, pcm_.data() + pcmStart_, bytes / 2);
    pcmStart_ += bytes;
    header.destinationUsed -= bytes;
    return bytes / 2;
}

void AcmWavSource::read(int32_t* samples, int frames) {
    if (frames > kMaxBlockFrames) {
        for (int done = 0; done < frames; done += kMaxBlockFrames)
            read(samples + static_cast<size_t>(done) * channels, std::min(kMaxBlockFrames, frames - done));
        return;
    }
    if (frames <= 0) return;
    const size_t total = static_cast<size_t>(frames) * channels;
    framePosition = addWrapping(framePosition, frames);
    size_t at = 0;
    if (!failed() && framePosition > 0) {
        if (frames > framePosition) at = static_cast<size_t>(frames - framePosition) * channels;
        std::memset(samples, 0, at * sizeof(int32_t));
        uint32_t needed = static_cast<uint32_t>(total - at) * 2u;
        for (;;) {
            const uint32_t take = std::min(needed, header.destinationUsed) & ~1u;
            at += decode(samples + at, take);
            needed -= take;
            if (needed <= 1) {
                std::memmove(pcm_.data(), pcm_.data() + pcmStart_, header.destinationUsed);
                pcmStart_ = 0;
                return;
            }
            if (ended) break;
            convertMore(needed);
        }
    }
    std::memset(samples + at, 0, (total - at) * sizeof(int32_t));
}

void AcmWavSource::convertMore(uint32_t needed) {
    // Every waiting decoded byte has gone into the block (a stray odd byte
    // from a faulty codec is dropped).
    header.destinationUsed = 0;
    pcmStart_ = 0;
    uint32_t fill = header.sourceLength;
    const uint32_t want = std::min(compressedCapacity - fill, dataBytes - compressedRead);
    uint32_t got = 0;
    if (want > 0 && !file.read(compressed_.data() + fill, want, got)) got = 0;
    fill += got;
    compressedRead += got;
    header.sourceLength = fill;
    estimateLength(needed);

    // A buffer that is not full holds the last of the data.
    const bool full = fill == compressedCapacity;
    header.destinationLength = pcmCapacity;
    header.sourceUsed = 0;
    header.destinationUsed = 0;
    const int rc = acm_.streamConvert(stream, header, full ? kAcmConvertBlockAlign : kAcmConvertEnd);
    const uint32_t produced = rc == kAcmOk ? std::min(header.destinationUsed, pcmCapacity) : 0;
    const uint32_t consumed = rc == kAcmOk ? std::min(header.sourceUsed, fill) : 0;
    ended = !full && produced < needed && produced < pcmCapacity;
    // A codec that fails, or takes nothing from a full buffer and gives
    // nothing, would be asked again forever: the stream ends there.
    if (rc != kAcmOk || (full && produced == 0 && consumed == 0)) ended = true;
    if (ended) {
        lengthFrames = toFrames(static_cast<int64_t>(framePosition) - framesOf(needed - std::min(produced, needed)));
        lengthKnown_ = true;
    }
    header.destinationUsed = produced;
    std::memmove(compressed_.data(), compressed_.data() + consumed, fill - consumed);
    header.sourceLength = fill - consumed;
}

void AcmWavSource::estimateLength(uint32_t needed) {
    // Once the decoder has reached the end, the exact length stays through
    // later seeks.
    if (lengthKnown_) return;
    const int64_t reached = static_cast<int64_t>(framePosition) - framesOf(needed);
    const uint32_t undecoded = dataBytes - compressedRead + header.sourceLength;
    lengthFrames = toFrames(reached + framesIn(undecoded));
}

void AcmWavSource::seek(int frame) {
    if (failed()) return;
    header.sourceLength = 0;
    header.destinationLength = 0;
    acm_.streamConvert(stream, header, kAcmConvertStart);
    header.sourceUsed = 0;
    header.destinationUsed = 0;
    header.destinationLength = pcmCapacity;
    pcmStart_ = 0;
    compressedRead = 0;
    ended = false;
    framePosition = frame;
    if (frame <= 0) {
        file.seekTo(dataStart);
        return;
    }
    auto bytesAt = [this](uint32_t f) { return formatRate ? acmScale(f, formatByteRate, formatRate) : f; };
    const uint32_t target = static_cast<uint32_t>(frame);
    // Without a block size or a byte rate nothing maps a frame to its byte:
    // the decoder starts at the first byte and runs up to the frame.
    const bool mapped = blockFrames > 0 || formatByteRate > 0;
    uint64_t offset = 0;
    uint32_t reached = 0;
    if (blockFrames > 0) {
        const uint32_t block = target / blockFrames;
        offset = static_cast<uint64_t>(block) * formatBlockAlign;
        reached = block * blockFrames;
    } else if (mapped) {
        offset = bytesAt(target);
        if (formatBlockAlign > 0) offset -= offset % formatBlockAlign;
        reached = acmScale(static_cast<uint32_t>(offset), formatRate, formatByteRate);
    }
    if ((mapped || lengthKnown_) && (frame >= lengthFrames || offset >= dataBytes)) {
        // Beyond the end: reads give silence.
        compressedRead = mapped ? std::min(bytesAt(static_cast<uint32_t>(lengthFrames)), dataBytes) : dataBytes;
        file.seekTo(dataStart + compressedRead);
        ended = true;
        return;
    }
    compressedRead = static_cast<uint32_t>(offset);
    file.seekTo(dataStart + compressedRead);
    // Decoded and dropped up to the frame asked for; a decoder that runs dry
    // first leaves silence there.
    framePosition = static_cast<int32_t>(reached);
    while (framePosition < frame && !(ended && header.destinationUsed == 0))
        read(scratch_.data(), static_cast<int>(std::min<int64_t>(kMaxBlockFrames, int64_t{frame} - framePosition)));
    framePosition = frame;
}

}  // namespace zelvaro
