#include "audio/play_format.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace zelvaro {

namespace {

// The sub-format GUIDs of ksmedia.h, spelt out so that no library has to
// supply their storage.
constexpr GUID kSubtypePcm = {0x00000001, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};
constexpr GUID kSubtypeFloat = {0x00000003, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};
constexpr DWORD kFrontLeft = 0x1, kFrontRight = 0x2, kFrontCenter = 0x4;

std::string groupedThousands(int32_t value) {
    std::string digits = std::to_string(value);
    for (int i = static_cast<int>(digits.size()) - 3; i > 0; i -= 3)
        digits.insert(static_cast<size_t>(i), ",");
    return digits;
}

std::vector<SampleEncoding> encodingOrder(SampleEncoding wanted) {
    switch (wanted) {
    case SampleEncoding::kFloat32:
        return {SampleEncoding::kFloat32, SampleEncoding::kPcm24, SampleEncoding::kPcm16};
    case SampleEncoding::kPcm24:
        return {SampleEncoding::kPcm24, SampleEncoding::kFloat32, SampleEncoding::kPcm16};
    default:
        return {SampleEncoding::kPcm16, SampleEncoding::kPcm24, SampleEncoding::kFloat32};
    }
}

}  // namespace

std::string describePlayFormat(const PlayFormat& format) {
    const char* samples = format.encoding == SampleEncoding::kFloat32 ? "32-bit float"
                          : format.encoding == SampleEncoding::kPcm24 ? "24-bit"
                                                                      : "16-bit";
    return groupedThousands(format.sampleRate) + " Hz " + samples;
}

WAVEFORMATEXTENSIBLE waveFormatFor(const PlayFormat& format, uint8_t channels) {
    WAVEFORMATEXTENSIBLE result;
    std::memset(&result, 0, sizeof result);
    WAVEFORMATEX& base = result.Format;
    const int bytes = encodingBytes(format.encoding);
    base.nChannels = channels;
    base.nSamplesPerSec = static_cast<DWORD>(format.sampleRate);
    base.wBitsPerSample = static_cast<WORD>(8 * bytes);
    base.nBlockAlign = static_cast<WORD>(bytes * channels);
    base.nAvgBytesPerSec = base.nBlockAlign * base.nSamplesPerSec;
    if (format.encoding == SampleEncoding::kPcm16) {
        base.wFormatTag = WAVE_FORMAT_PCM;
        base.cbSize = 0;
        return result;
    }
    base.wFormatTag = WAVE_FORMAT_EXTENSIBLE;
    base.cbSize = sizeof(WAVEFORMATEXTENSIBLE) - sizeof(WAVEFORMATEX);
    result.Samples.wValidBitsPerSample = base.wBitsPerSample;
    result.dwChannelMask = channels == 1 ? kFrontCenter : kFrontLeft | kFrontRight;
    result.SubFormat = format.encoding == SampleEncoding::kFloat32 ? kSubtypeFloat : kSubtypePcm;
    return result;
}

std::vector<PlayFormat> playFormatCandidates(const PlayFormat& wanted) {
    std::vector<int32_t> rates = {wanted.sampleRate};
    std::vector<int32_t> others;
    for (int32_t rate : kPlayRates)
        if (rate != wanted.sampleRate)
            others.push_back(rate);
    // Nearest first; of two as near, the higher, which loses nothing.
    std::stable_sort(others.begin(), others.end(), [&](int32_t a, int32_t b) {
        const int64_t da = std::llabs(int64_t{a} - wanted.sampleRate);
        const int64_t db = std::llabs(int64_t{b} - wanted.sampleRate);
        return da != db ? da < db : a > b;
    });
    rates.insert(rates.end(), others.begin(), others.end());
    std::vector<PlayFormat> candidates;
    for (int32_t rate : rates)
        for (SampleEncoding encoding : encodingOrder(wanted.encoding))
            candidates.push_back({rate, encoding});
    return candidates;
}

PlayFormatChoice choosePlayFormat(WaveOutDevice& device, UINT deviceId, const PlayFormat& wanted,
                                  uint8_t channels) {
    for (const PlayFormat& candidate : playFormatCandidates(wanted)) {
        const WAVEFORMATEXTENSIBLE format = waveFormatFor(candidate, channels);
        if (device.query(deviceId, format.Format, WAVE_FORMAT_QUERY) == MMSYSERR_NOERROR)
            return {candidate, true};
    }
    return {wanted, false};
}

}  // namespace zelvaro
