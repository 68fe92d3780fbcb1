#include "wavefile/scripted_acm.h"

#include <algorithm>
#include <cstring>

namespace zelvaro::test {

namespace {

uint16_t get16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
uint32_t get32(const uint8_t* p) { return get16(p) | (static_cast<uint32_t>(get16(p + 2)) << 16); }

struct Stream {
    bool decoder;  // scripted -> PCM
    uint32_t frameBytes;
    uint32_t framesPerBlock;
    uint32_t blockAlign;
    bool prepared = false;
    uint8_t* source = nullptr;
    uint32_t sourceLength = 0;
    uint8_t* destination = nullptr;
    uint32_t destinationLength = 0;

    uint32_t blockPcm() const { return framesPerBlock * frameBytes; }
};

Stream* toStream(AcmStream s) { return static_cast<Stream*>(s); }

// Bytes of whole units `unit` in `bytes`, rounded up when `up`.
uint32_t units(uint32_t bytes, uint32_t unit, bool up) { return (bytes + (up ? unit - 1 : 0)) / unit; }

}  // namespace

WaveFormat scriptedFormat(uint16_t channels, uint32_t rate, uint16_t framesPerBlock) {
    const uint32_t align = 2u + framesPerBlock * channels * 2u;
    std::vector<uint8_t> r(20, 0);
    auto put = [&r](size_t at, uint32_t v, int bytes) {
        for (int i = 0; i < bytes; ++i) r[at + i] = static_cast<uint8_t>(v >> (8 * i));
    };
    put(0, kScriptedTag, 2);                                 // format tag
    put(2, channels, 2);                                     // channels
    put(4, rate, 4);                                         // samples per second
    put(8, static_cast<uint32_t>(uint64_t{align} * rate / framesPerBlock), 4);  // bytes per second, rounded down
    put(12, align, 2);                                       // block align
    put(14, 16, 2);                                          // bits per sample
    put(16, 2, 2);                                           // extra bytes
    put(18, framesPerBlock, 2);                              // frames per block
    return parseWaveFormat(r.data(), r.size());
}

std::vector<uint8_t> scriptedEncode(const std::vector<int16_t>& samples, uint16_t channels,
                                    uint16_t framesPerBlock) {
    std::vector<uint8_t> out;
    const size_t perBlock = static_cast<size_t>(framesPerBlock) * channels;
    for (size_t at = 0; at < samples.size(); at += perBlock) {
        out.push_back(kBlockMark[0]);
        out.push_back(kBlockMark[1]);
        for (size_t i = 0; i < perBlock; ++i) {
            int16_t v = at + i < samples.size() ? samples[at + i] : 0;
            out.push_back(static_cast<uint8_t>(v));
            out.push_back(static_cast<uint8_t>(static_cast<uint16_t>(v) >> 8));
        }
    }
    return out;
}

int ScriptedAcm::streamOpen(AcmStream& stream, const uint8_t* from, const uint8_t* to, uint32_t flags) {
    log.push_back("open " + std::to_string(flags));
    if (refuseAll || (needsNonRealtime && !(flags & kAcmOpenNonRealtime))) return kAcmNotPossible;
    const uint16_t fromTag = get16(from), toTag = get16(to);
    const bool decoder = fromTag == kScriptedTag && toTag == kWaveFormatPcm;
    const bool encoder = fromTag == kWaveFormatPcm && toTag == kScriptedTag && encodes;
    if (!decoder && !encoder) return kAcmNotPossible;
    const uint8_t* coded = decoder ? from : to;
    const uint8_t* pcm = decoder ? to : from;
    if (get16(coded + 2) != get16(pcm + 2) || get32(coded + 4) != get32(pcm + 4) || get16(pcm + 14) != 16 ||
        get16(coded + 16) < 2 || get16(coded + 18) == 0)
        return kAcmNotPossible;
    if (flags & kAcmOpenQuery) return kAcmOk;
    auto* s = new Stream;
    s->decoder = decoder;
    s->frameBytes = get16(pcm + 2) * 2u;
    s->framesPerBlock = get16(coded + 18);
    s->blockAlign = get16(coded + 12);
    stream = s;
    ++openStreams;
    return kAcmOk;
}

int ScriptedAcm::streamSize(AcmStream stream, uint32_t input, uint32_t& output, uint32_t flags) {
    Stream* s = toStream(stream);
    log.push_back(std::string("size ") + (flags == kAcmSizeDestination ? "destination " : "source ") +
                  std::to_string(input));
    if (sizeZero) {
        output = 0;
        return kAcmOk;
    }
    // Input counted in compressed bytes gives whole blocks' PCM, rounded
    // down; input counted in PCM needs its blocks rounded up.
    const bool inputIsCompressed = s->decoder == (flags == kAcmSizeSource);
    if (inputIsCompressed && s->decoder && decodedSizeUnknown) return kAcmNotPossible;
    output = inputIsCompressed ? input / s->blockAlign * s->blockPcm()
                               : units(input, s->blockPcm(), true) * s->blockAlign;
    return kAcmOk;
}

int ScriptedAcm::streamPrepareHeader(AcmStream stream, AcmStreamHeader& header) {
    Stream* s = toStream(stream);
    log.push_back("prepare");
    s->prepared = true;
    s->source = header.source;
    s->sourceLength = header.sourceLength;
    s->destination = header.destination;
    s->destinationLength = header.destinationLength;
    header.prepared = true;
    return kAcmOk;
}

int ScriptedAcm::streamConvert(AcmStream stream, AcmStreamHeader& header, uint32_t flags) {
    Stream* s = toStream(stream);
    const char* kind = flags == kAcmConvertStart ? "start" : flags == kAcmConvertEnd ? "end" : "blockalign";
    log.push_back(std::string("convert ") + kind + " " + std::to_string(header.sourceLength));
    if (!s->prepared) faults.push_back("convert on an unprepared header");
    if (header.source != s->source || header.destination != s->destination ||
        header.sourceLength > s->sourceLength || header.destinationLength > s->destinationLength)
        faults.push_back("convert with buffers beyond the prepared ones");
    header.sourceUsed = 0;
    header.destinationUsed = 0;
    if (flags == kAcmConvertStart) return kAcmOk;
    const int n = converts_++;
    if (failAfterConverts >= 0 && n >= failAfterConverts) return kAcmNotPossible;
    if (stallAfterConverts >= 0 && n >= stallAfterConverts) return kAcmOk;
    const uint32_t inBlock = s->decoder ? s->blockAlign : s->blockPcm();
    const uint32_t outBlock = s->decoder ? s->blockPcm() : s->blockAlign;
    const uint32_t blocks = std::min(header.sourceLength / inBlock, header.destinationLength / outBlock);
    for (uint32_t b = 0; b < blocks; ++b) {
        const uint8_t* in = header.source + b * inBlock;
        uint8_t* out = header.destination + b * outBlock;
        if (s->decoder) {
            std::memcpy(out, in + 2, outBlock);
        } else {
            out[0] = kBlockMark[0];
            out[1] = kBlockMark[1];
            std::memcpy(out + 2, in, inBlock);
        }
    }
    header.sourceUsed = blocks * inBlock;
    if (!s->decoder && encoderLeavesAByte && blocks > 0) --header.sourceUsed;
    header.destinationUsed = blocks * outBlock;
    return kAcmOk;
}

int ScriptedAcm::streamUnprepareHeader(AcmStream stream, AcmStreamHeader& header) {
    Stream* s = toStream(stream);
    log.push_back("unprepare");
    if (!s->prepared) faults.push_back("unprepare of an unprepared header");
    if (header.sourceLength != s->sourceLength || header.destinationLength != s->destinationLength)
        faults.push_back("unprepare with lengths other than the prepared ones");
    s->prepared = false;
    header.prepared = false;
    return kAcmOk;
}

int ScriptedAcm::streamClose(AcmStream stream) {
    Stream* s = toStream(stream);
    log.push_back("close");
    if (s->prepared) faults.push_back("close with a prepared header");
    delete s;
    --openStreams;
    return kAcmOk;
}

int ScriptedAcm::formatTagSize(uint16_t tag, uint32_t& size) {
    size = tag == kScriptedTag ? 20 : 0;
    return tag == kScriptedTag ? kAcmOk : kAcmNotPossible;
}

int ScriptedAcm::formatSuggest(const uint8_t* from, uint8_t* to, uint32_t toSize, uint32_t) {
    log.push_back("suggest");
    if (get16(to) != kScriptedTag || toSize < 20 || !encodes) return kAcmNotPossible;
    WaveFormat f = scriptedFormat(get16(from + 2), get32(from + 4), 64);
    const uint8_t extraCount[2] = {to[16], to[17]};
    std::memcpy(to, f.raw.data(), f.raw.size());
    if (suggestKeepsExtraCount) std::memcpy(to + 16, extraCount, 2);
    return kAcmOk;
}

int ScriptedAcm::formatChoose(uint8_t* format, uint32_t size, uint8_t channels, const char*) {
    log.push_back("choose");
    chooserSawChannels.push_back(format[2]);
    (void)channels;
    if (picks.empty()) return 1;  // Cancel
    std::vector<uint8_t> pick = picks.front();
    picks.erase(picks.begin());
    std::memcpy(format, pick.data(), std::min<size_t>(pick.size(), size));
    return kAcmOk;
}

void ScriptedAcm::warn(const char* text, const char* title) {
    log.push_back("warn");
    warnings.push_back(std::string(title) + ": " + text);
}

}  // namespace zelvaro::test
