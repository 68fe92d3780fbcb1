// Playing a tone from the pure path: the tone synthesised at the rate the
// device takes, at a level in dBFS, its sum held below full scale, and
// quantised to the device's format. Shared by the window and `play`.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "audio/l_sound_player.h"
#include "audio/play_format.h"
#include "tone/tone_settings.h"

namespace zelvaro {

// The level is the peak of one sine at 0 dB relative amplitude, in dBFS,
// kept in hundredths of a dB. By default the level the 16-bit chain has
// always played (a quarter of full scale).
constexpr int32_t kDefaultLevelCentiDb = -1204;
constexpr int32_t kLowestLevelCentiDb = -14000;
constexpr int32_t kHighestLevelCentiDb = 0;
constexpr double kDefaultPlayLevelDbfs = kDefaultLevelCentiDb / 100.0;
// A sine's RMS below its peak: 20 log10(sqrt 2).
constexpr double kSineRmsBelowPeakDb = 3.0103;

// "-12.04", "0", "-6.5", "+0": an optional sign, digits and at most two
// decimals, within the level's range; nothing for any other text.
std::optional<int32_t> parseLevelCentiDb(const std::string& text);
// "-12.04": always two decimals.
std::string levelText(int32_t centiDb);

// The gain on the pure path's samples that makes one sine at 0 dB relative
// amplitude peak at `levelDbfs` (its RMS is 3.01 dB lower); other waveforms
// and tones keep their levels relative to it.
double pureLevelGain(double levelDbfs);

struct PurePlayRequest {
    PlayFormat format;
    double levelDbfs = kDefaultPlayLevelDbfs;
    // TPDF dither for 16- and 24-bit PCM; none without a seed.
    std::optional<uint64_t> ditherSeed;
    uint64_t noiseSeed = 1;
};

struct PurePlayOutcome {
    bool opened = false;
    // The format playing, which differs from the one asked for when the
    // device refused it.
    PlayFormat played;
};

// Asks the player's device for the request's format (or the nearest it
// takes) and plays the tone in it. The sum of the tones is held below full
// scale of that format by the pure limiter, as the chain's limiter holds
// it below the 16-bit range; the mixer is not touched.
PurePlayOutcome playPure(LSoundPlayer& player, const ToneSettings& tone, const PurePlayRequest& request);

}  // namespace zelvaro
