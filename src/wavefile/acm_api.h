// The Audio Compression Manager calls that the compressed WAV classes make,
// behind an interface: the program passes the platform's ACM, the tests a
// scripted codec, so that the buffering around the codec runs everywhere.
#pragma once

#include <cstdint>
#include <vector>

#include "wavefile/wav_header.h"

namespace zelvaro {

// Flag values of the platform's interface.
constexpr uint32_t kAcmOpenQuery = 0x1;
constexpr uint32_t kAcmOpenNonRealtime = 0x4;
constexpr uint32_t kAcmSizeSource = 0x0;       // input counts bytes of the stream's source
constexpr uint32_t kAcmSizeDestination = 0x1;  // input counts bytes of the stream's destination
constexpr uint32_t kAcmConvertBlockAlign = 0x4;
constexpr uint32_t kAcmConvertStart = 0x10;
constexpr uint32_t kAcmConvertEnd = 0x20;
constexpr uint32_t kAcmSuggestTag = 0x10000;
constexpr uint32_t kAcmSuggestChannels = 0x20000;
constexpr uint32_t kAcmSuggestRate = 0x40000;

constexpr int kAcmOk = 0;
// No codec needs more than this for 8192 frames; a larger answer comes from a
// broken codec, and honouring it could exhaust memory.
constexpr uint32_t kAcmMaxBufferBytes = 16u << 20;
constexpr int kAcmNotPossible = 512;

// An open conversion stream; null when none is open.
using AcmStream = void*;

// The fields of the platform's stream header that are used. The platform's
// own record (whose size differs between 32- and 64-bit programs) stays
// inside the implementation; these fields are copied in and out of it.
struct AcmStreamHeader {
    uint8_t* source = nullptr;
    uint32_t sourceLength = 0;  // bytes offered to the converter
    uint32_t sourceUsed = 0;    // bytes it consumed
    uint8_t* destination = nullptr;
    uint32_t destinationLength = 0;  // room offered
    uint32_t destinationUsed = 0;    // bytes it produced
    bool prepared = false;
};

// Format records are wave format records of 18 bytes plus their extra-byte
// count. Every call returns 0 on success or the platform's error number.
class AcmApi {
public:
    virtual ~AcmApi() = default;
    // With kAcmOpenQuery only asks whether the stream could be opened and
    // leaves `stream` alone.
    virtual int streamOpen(AcmStream& stream, const uint8_t* from, const uint8_t* to, uint32_t flags) = 0;
    virtual int streamSize(AcmStream stream, uint32_t input, uint32_t& output, uint32_t flags) = 0;
    virtual int streamPrepareHeader(AcmStream stream, AcmStreamHeader& header) = 0;
    virtual int streamConvert(AcmStream stream, AcmStreamHeader& header, uint32_t flags) = 0;
    virtual int streamUnprepareHeader(AcmStream stream, AcmStreamHeader& header) = 0;
    virtual int streamClose(AcmStream stream) = 0;
    // The size of the records of `tag` as the codec that knows the tag gives
    // it: 18 bytes plus the extra bytes the format carries.
    virtual int formatTagSize(uint16_t tag, uint32_t& size) = 0;
    // Completes `to` (of `toSize` bytes) with the details the codec suggests
    // for converting `from`; `flags` names the fields of `to` already set.
    virtual int formatSuggest(const uint8_t* from, uint8_t* to, uint32_t toSize, uint32_t flags) = 0;
    // The platform's format chooser, opened on the format in `format` (a
    // buffer of `size` bytes); a channel count above 0 restricts the list.
    virtual int formatChoose(uint8_t* format, uint32_t size, uint8_t channels, const char* title) = 0;
    // A warning message box owned by the active window.
    virtual void warn(const char* text, const char* title) = 0;
};

// The platform's ACM (Windows only).
AcmApi& platformAcm();

// The 18 + extra bytes a codec reads for `format`: the record as it came from
// the file, with an extra-byte count of 0 when the chunk had none. False when
// the extra-byte count claims more bytes than the chunk held.
bool acmFormatRecord(const WaveFormat& format, std::vector<uint8_t>& record);

// The 18-byte record of 16-bit PCM with the given channels and rate.
std::vector<uint8_t> acmPcmRecord(uint16_t channels, uint32_t rate);

// value * to / from, rounded down, formed in 64 bits so that no product wraps
// (A-law at 48,000 frames per second in stereo already passes 32 bits);
// results beyond 32 bits give 0xFFFFFFFF. `from` must not be 0.
uint32_t acmScale(uint32_t value, uint32_t to, uint32_t from);

}  // namespace zelvaro
