// Choosing a compressed format to write: by the platform's chooser, or by
// format tag with the codec's own suggestion for a rate and channel count.
#pragma once

#include <cstdint>

#include "wavefile/acm_api.h"
#include "wavefile/wav_header.h"

namespace zelvaro {

constexpr uint32_t kFormatBufferBytes = 1024;

// Shows the chooser, opened on the format in `format`, until the user picks a
// format that some codec can encode 16-bit PCM into (then true, and `format`
// holds it) or cancels (false). A pick that no codec can write gets a warning
// and the chooser again. A channel count above 0 restricts the list to it.
bool chooseWaveFormat(uint8_t (&format)[kFormatBufferBytes], uint8_t channels, const char* title,
                      AcmApi& acm = platformAcm());

// The format record for `tag` at `rate` and `channels` with the details
// (block size, byte rate, extra bytes) that a codec suggests for encoding
// 16-bit PCM of that kind; false when no installed codec writes it.
bool suggestWaveFormat(AcmApi& acm, uint16_t tag, uint16_t channels, uint32_t rate, WaveFormat& format);

// A format record in a buffer, parsed; false when its extra-byte count runs
// past the buffer.
bool waveFormatFromBuffer(const uint8_t* buffer, uint32_t size, WaveFormat& format);

}  // namespace zelvaro
