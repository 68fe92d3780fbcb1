// A SoundSink that encodes 16-bit PCM through the Audio Compression Manager
// into a compressed WAV file: a RIFF WAVE form with the target's format chunk
// (18 bytes plus its extra bytes, unpadded) and one data chunk.
#pragma once

#include <cstdint>
#include <vector>

#include "wavefile/acm_api.h"
#include "wavefile/file_stream.h"
#include "wavefile/sound_sink.h"
#include "wavefile/wav_header.h"

namespace zelvaro {

class AcmWavSink final : public SoundSink {
public:
    // Failed, without touching `path`, when no codec encodes 16-bit PCM of
    // the format's rate and channels into `target` or the record is damaged.
    AcmWavSink(AcmApi& acm, const char* path, const WaveFormat& target);
    // Finishes the file when finish() has not.
    ~AcmWavSink() override;

    // Encodes and appends frames; a failed sink only counts them.
    void write(const int32_t* samples, int frames) override;
    // Encodes what is still buffered (its last block padded with silence),
    // writes the final header and closes the file.
    bool finish() override;
    int64_t framesLeft() const override;

    FileStream file;
    std::vector<uint8_t> format;
    AcmStream stream = nullptr;
    // sourceLength is the PCM bytes buffered.
    AcmStreamHeader header;
    uint32_t pcmCapacity = 0;
    uint32_t compressedCapacity = 0;
    uint32_t dataBytes = 0;
    // PCM bytes that make one block of the target format; 0 when the codec
    // does not say.
    uint32_t blockPcmBytes = 0;

private:
    bool openStream(const WaveFormat& target);
    // Converts the buffered PCM and appends what the codec produced; false,
    // with the status bits set, when the codec, the file or the size limit
    // stopped it.
    bool convert(uint32_t flags);
    void writeHeader();
    void closeStream();
    void noteIo(bool ok);
    void noteCodecFailure(int rc);

    AcmApi& acm_;
    std::vector<uint8_t> pcm_;
    std::vector<uint8_t> compressed_;
};

}  // namespace zelvaro
