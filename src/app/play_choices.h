// The playback choices Play Settings keeps in the settings file beside the
// device and volume: pure synthesis ("puresynthesis"), and with it the rate
// ("samplerate"), the sample format ("sampleformat": 16, 24 or float) and
// the level ("level", dBFS in hundredths). A value that is absent or not
// one of these reads as the default.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "audio/play_format.h"
#include "audio/pure_playback.h"

namespace zelvaro {

struct PlayChoices {
    bool pure = false;
    PlayFormat format;
    int32_t levelCentiDb = kDefaultLevelCentiDb;
};

PlayChoices ReadPlayChoices();

// How the window's pure playback and Save As Wav make their samples alike:
// 16 bits with TPDF dither of the seed zelvaro-render's --dither tpdf takes
// (so that a saved file is the one render --pure --dither tpdf writes), 24
// bits and float without; the level in dBFS.
std::optional<uint64_t> DitherSeedFor(SampleEncoding encoding);
double LevelDbfs(const PlayChoices& choices);
// Writes all four values.
void WritePlayChoices(const PlayChoices& choices);

// "-15.05 dBFS RMS" for a peak level: what a sine at that peak measures.
std::string RmsText(int32_t peakCentiDb);

// "16", "24", "float" and back; nullopt for any other text or rate.
std::optional<SampleEncoding> ParseSampleFormat(const std::string& text);
const char* SampleFormatText(SampleEncoding encoding);
std::optional<int32_t> ParseSampleRate(const std::string& text);

}  // namespace zelvaro
