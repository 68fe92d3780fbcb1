#include <new>

#include "wavefile/acm_wav_sink.h"
#include "wavefile/acm_wav_source.h"
#include "wavefile/compressed_wav.h"

namespace zelvaro {

SoundSourceRef openCompressedWavSource(FileStream file, const WaveFormat& format, uint32_t dataBytes) {
    return SoundSourceRef(new (std::nothrow) AcmWavSource(platformAcm(), std::move(file), format, dataBytes));
}

SoundSinkRef createCompressedWavSink(const char* path, const WaveFormat& format) {
    return SoundSinkRef(new (std::nothrow) AcmWavSink(platformAcm(), path, format));
}

}  // namespace zelvaro
