// The rate and sample format the player opens a device with, and how the
// nearest one a device takes is found when it refuses the one asked for.
#pragma once

#include <windows.h>
#include <mmsystem.h>
#include <mmreg.h>

#include <cstdint>
#include <string>
#include <vector>

#include "audio/wave_out_device.h"
#include "wavefile/pure_quantiser.h"

namespace zelvaro {

// The rates Play Settings offers, in frames per second.
constexpr int32_t kPlayRates[] = {44100, 48000, 88200, 96000, 176400, 192000};
constexpr int32_t kDefaultPlayRate = 44100;

struct PlayFormat {
    int32_t sampleRate = kDefaultPlayRate;
    SampleEncoding encoding = SampleEncoding::kPcm16;

    bool operator==(const PlayFormat& other) const {
        return sampleRate == other.sampleRate && encoding == other.encoding;
    }
    bool operator!=(const PlayFormat& other) const { return !(*this == other); }
};

// "96,000 Hz 24-bit", "48,000 Hz 32-bit float", "44,100 Hz 16-bit".
std::string describePlayFormat(const PlayFormat& format);

// The device format: plain PCM for 16 bits, as the player has always opened
// it; WAVE_FORMAT_EXTENSIBLE for 24-bit PCM and 32-bit float, which is the
// only way a driver is told of either (the extensible header begins with
// the WAVEFORMATEX that open takes).
WAVEFORMATEXTENSIBLE waveFormatFor(const PlayFormat& format, uint8_t channels);

// The formats to try when `wanted` is refused, nearest first: the same rate
// in the other deep formats (float holds every 24-bit value, so each stands
// in for the other) before 16 bits, then the other rates of kPlayRates from
// the nearest, each in the same order of formats. `wanted` comes first.
std::vector<PlayFormat> playFormatCandidates(const PlayFormat& wanted);

struct PlayFormatChoice {
    PlayFormat format;
    // False when the device answered no query: `format` is then `wanted`,
    // to be tried by opening it.
    bool confirmed = false;
};

// The first candidate the device says it takes (WAVE_FORMAT_QUERY), asked
// of the device itself: through the mapper a refused format would be
// converted without a word.
PlayFormatChoice choosePlayFormat(WaveOutDevice& device, UINT deviceId, const PlayFormat& wanted,
                                  uint8_t channels);

}  // namespace zelvaro
