// A SoundSource over the data chunk of a WAV file in a compressed format,
// decoded to 16-bit PCM through the Audio Compression Manager as it is read.
#pragma once

#include <cstdint>
#include <vector>

#include "signal/sound_source.h"
#include "wavefile/acm_api.h"
#include "wavefile/file_stream.h"
#include "wavefile/wav_header.h"

namespace zelvaro {

class AcmWavSource final : public SoundSource {
public:
    // `openFile` stands at the first data byte; `dataBytes` is the data
    // chunk's size field. Failed when no codec decodes the format, the format
    // record is damaged or the codec reports nothing usable.
    AcmWavSource(AcmApi& acm, FileStream openFile, const WaveFormat& format, uint32_t dataBytes);
    ~AcmWavSource() override;

    // Fills the whole block; the position always advances by `frames`.
    void read(int32_t* samples, int frames) override;
    // Restarts the decoder at the block holding `frame` (at the first block
    // when the format states neither a block size nor a byte rate), then
    // decodes up to it; the position is `frame` either way.
    void seek(int frame) override;
    int position() override { return framePosition; }
    // An estimate (from the codec's block size, else the byte rate) until
    // the decoder has delivered everything, then the exact count.
    int length() override { return lengthFrames; }

    FileStream file;
    uint32_t dataBytes;
    uint32_t compressedRead = 0;
    uint32_t dataStart = 0;
    AcmStream stream = nullptr;
    // sourceLength is the compressed bytes held; destinationUsed the decoded
    // bytes still waiting, from pcmStart on.
    AcmStreamHeader header;
    uint32_t compressedCapacity = 0;
    uint32_t pcmCapacity = 0;
    uint32_t formatRate = 0;
    uint32_t formatByteRate = 0;
    uint32_t formatBlockAlign = 0;
    // Frames that every block of formatBlockAlign bytes decodes to, as the
    // codec reports it; 0 when it reports no such fixed count.
    uint32_t blockFrames = 0;
    bool ended = false;
    int32_t framePosition = 0;
    int32_t lengthFrames = 0;

private:
    void setUp(const WaveFormat& format);
    // Decodes `bytes` bytes of PCM into `samples`; returns the samples filled.
    size_t decode(int32_t* samples, uint32_t bytes);
    // Reads, converts and keeps the decoded bytes in the PCM buffer; `needed`
    // is what the current read still lacks.
    void convertMore(uint32_t needed);
    void estimateLength(uint32_t needed);
    // The frames that `compressedBytes` bytes decode to, estimated.
    uint32_t framesIn(uint32_t compressedBytes) const;
    int32_t framesOf(uint32_t bytes) const;

    AcmApi& acm_;
    std::vector<uint8_t> compressed_;
    std::vector<uint8_t> pcm_;
    uint32_t pcmStart_ = 0;
    bool lengthKnown_ = false;
    // Frames decoded and dropped after a seek into a block.
    std::vector<int32_t> scratch_;
};

}  // namespace zelvaro
