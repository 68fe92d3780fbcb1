// A codec for the compressed WAV classes' tests that behaves as the platform's
// block codecs do, with faults to order. Its format (tag kScriptedTag) stores
// blocks of `framesPerBlock` frames: a 2-byte block mark, then the frames as
// 16-bit PCM. Like the platform's codecs it converts whole blocks only, also
// at the end of a stream, so a final partial block is lost unless padded.
// It logs every call and notes every misuse of the stream header.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "wavefile/acm_api.h"
#include "wavefile/wav_header.h"

namespace zelvaro::test {

constexpr uint16_t kScriptedTag = 0x5A01;
constexpr uint8_t kBlockMark[2] = {0xB1, 0x0C};

// The format record (20 bytes: 18 + 2 extra bytes holding the frames per
// block), parsed. The byte rate is rounded down, as the platform's codecs do.
WaveFormat scriptedFormat(uint16_t channels, uint32_t rate, uint16_t framesPerBlock);

// The compressed bytes of `frames` frames of 16-bit samples, padded to whole
// blocks with silence.
std::vector<uint8_t> scriptedEncode(const std::vector<int16_t>& samples, uint16_t channels,
                                    uint16_t framesPerBlock);

class ScriptedAcm final : public AcmApi {
public:
    // Faults to order.
    bool refuseAll = false;          // no stream opens
    bool needsNonRealtime = false;   // an open without kAcmOpenNonRealtime fails
    bool sizeZero = false;           // streamSize reports 0
    int stallAfterConverts = -1;     // from the n-th conversion on, nothing is taken or given
    int failAfterConverts = -1;      // from the n-th conversion on, an error
    bool encodes = true;             // PCM -> scripted streams open
    bool decodedSizeUnknown = false;  // a decoder cannot say what compressed bytes decode to
    bool encoderLeavesAByte = false;  // an encoder reports one byte less taken than the blocks it encoded
    bool suggestKeepsExtraCount = false;  // a suggestion leaves the extra-byte count as it finds it

    // Chooser: the records it returns, in turn; once they run out, Cancel.
    std::vector<std::vector<uint8_t>> picks;
    std::vector<std::string> warnings;  // "title: text" of each warning
    std::vector<uint8_t> chooserSawChannels;

    std::vector<std::string> log;
    // Misuses: a call on an unprepared header, lengths beyond the prepared
    // ones, an unprepare with other lengths, a close with a prepared header.
    std::vector<std::string> faults;
    int openStreams = 0;

    int streamOpen(AcmStream& stream, const uint8_t* from, const uint8_t* to, uint32_t flags) override;
    int streamSize(AcmStream stream, uint32_t input, uint32_t& output, uint32_t flags) override;
    int streamPrepareHeader(AcmStream stream, AcmStreamHeader& header) override;
    int streamConvert(AcmStream stream, AcmStreamHeader& header, uint32_t flags) override;
    int streamUnprepareHeader(AcmStream stream, AcmStreamHeader& header) override;
    int streamClose(AcmStream stream) override;
    int formatTagSize(uint16_t tag, uint32_t& size) override;
    int formatSuggest(const uint8_t* from, uint8_t* to, uint32_t toSize, uint32_t flags) override;
    int formatChoose(uint8_t* format, uint32_t size, uint8_t channels, const char* title) override;
    void warn(const char* text, const char* title) override;

private:
    int converts_ = 0;
};

}  // namespace zelvaro::test
