#include "wavefile/acm_format_choice.h"

#include <vector>

#include "base/little_endian.h"

namespace zelvaro {

namespace {

constexpr const char* kNotAvailableText =
    "The requested format is not available because the required CODEC is not installed on this computer.";
constexpr const char* kNotAvailableTitle = "Format Not Available";

// Whether a stream from 16-bit PCM of the record's rate and channels to the
// record could be opened.
bool canEncode(AcmApi& acm, const uint8_t* record) {
    const uint16_t channels = getLe16(record + 2);
    const uint32_t rate = getLe32(record + 4);
    const std::vector<uint8_t> pcm = acmPcmRecord(channels, rate);
    AcmStream none = nullptr;
    return acm.streamOpen(none, pcm.data(), record, kAcmOpenQuery) == kAcmOk ||
           acm.streamOpen(none, pcm.data(), record, kAcmOpenQuery | kAcmOpenNonRealtime) == kAcmOk;
}

}  // namespace

bool waveFormatFromBuffer(const uint8_t* buffer, uint32_t size, WaveFormat& format) {
    if (size < 18) return false;
    const uint32_t extra = getLe16(buffer + 16);
    if (extra > size - 18) return false;
    format = parseWaveFormat(buffer, 18 + extra);
    return true;
}

bool chooseWaveFormat(uint8_t (&format)[kFormatBufferBytes], uint8_t channels, const char* title, AcmApi& acm) {
    if (channels > 0) {
        format[2] = channels;
        format[3] = 0;
    }
    for (;;) {
        if (acm.formatChoose(format, kFormatBufferBytes, channels, title) != kAcmOk) return false;
        WaveFormat chosen;
        if (waveFormatFromBuffer(format, kFormatBufferBytes, chosen) && canEncode(acm, format)) return true;
        acm.warn(kNotAvailableText, kNotAvailableTitle);
    }
}

bool suggestWaveFormat(AcmApi& acm, uint16_t tag, uint16_t channels, uint32_t rate, WaveFormat& format) {
    const std::vector<uint8_t> pcm = acmPcmRecord(channels, rate);
    uint8_t buffer[kFormatBufferBytes] = {};
    buffer[0] = static_cast<uint8_t>(tag);
    buffer[1] = static_cast<uint8_t>(tag >> 8);
    buffer[2] = static_cast<uint8_t>(channels);
    buffer[3] = static_cast<uint8_t>(channels >> 8);
    for (int i = 0; i < 4; ++i) buffer[4 + i] = static_cast<uint8_t>(rate >> (8 * i));
    // The extra-byte count is set to what the format carries: some codecs
    // fill in only as many extra bytes as the record claims room for, and
    // others (A-law, mu-law and GSM 6.10 here) leave the count as they find
    // it, which would otherwise write the whole buffer into the file.
    uint32_t recordSize = 0;
    if (acm.formatTagSize(tag, recordSize) != kAcmOk || recordSize < 18 || recordSize > kFormatBufferBytes)
        recordSize = 18;
    putLe16(buffer + 16, static_cast<uint16_t>(recordSize - 18));
    if (acm.formatSuggest(pcm.data(), buffer, kFormatBufferBytes,
                          kAcmSuggestTag | kAcmSuggestChannels | kAcmSuggestRate) != kAcmOk)
        return false;
    WaveFormat suggested;
    if (!waveFormatFromBuffer(buffer, kFormatBufferBytes, suggested) || suggested.formatTag != tag ||
        suggested.channels != channels || suggested.samplesPerSec != rate || !canEncode(acm, buffer))
        return false;
    format = std::move(suggested);
    return true;
}

}  // namespace zelvaro
