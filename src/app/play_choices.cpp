#include "app/play_choices.h"

#include <windows.h>

#include <cmath>
#include <cstdio>

#include "app/settings/ini_file.h"
#include "app/settings/settings_path.h"
#include "base/decimal_text.h"

namespace zelvaro {

namespace {

constexpr char kSection[] = "settings";

std::string readText(const char* key) {
    char text[kIniTextSize] = "";
    GetPrivateProfileStringA(kSection, key, "", text, sizeof text, settingsPath);
    return text;
}

}  // namespace

std::optional<uint64_t> DitherSeedFor(SampleEncoding encoding) {
    if (encoding != SampleEncoding::kPcm16) return std::nullopt;
    return uint64_t{1};
}

double LevelDbfs(const PlayChoices& choices) { return choices.levelCentiDb / 100.0; }

std::string RmsText(int32_t peakCentiDb) {
    const double rms = std::round((peakCentiDb / 100.0 - kSineRmsBelowPeakDb) * 100.0);
    return levelText(static_cast<int32_t>(rms)) + " dBFS RMS";
}

std::optional<SampleEncoding> ParseSampleFormat(const std::string& text) {
    if (text == "16")
        return SampleEncoding::kPcm16;
    if (text == "24")
        return SampleEncoding::kPcm24;
    if (text == "float")
        return SampleEncoding::kFloat32;
    return std::nullopt;
}

const char* SampleFormatText(SampleEncoding encoding) {
    return encoding == SampleEncoding::kPcm24 ? "24" : encoding == SampleEncoding::kFloat32 ? "float" : "16";
}

std::optional<int32_t> ParseSampleRate(const std::string& text) {
    if (!allDigits(text) || text.size() > 6)
        return std::nullopt;
    const int32_t rate = std::stoi(text);
    for (int32_t offered : kPlayRates)
        if (rate == offered)
            return rate;
    return std::nullopt;
}

PlayChoices ReadPlayChoices() {
    PlayChoices choices;
    choices.pure = ReadIniBool(settingsPath, kSection, "puresynthesis", false);
    choices.format.sampleRate = ParseSampleRate(readText("samplerate")).value_or(kDefaultPlayRate);
    choices.format.encoding = ParseSampleFormat(readText("sampleformat")).value_or(SampleEncoding::kPcm16);
    choices.levelCentiDb = parseLevelCentiDb(readText("level")).value_or(kDefaultLevelCentiDb);
    return choices;
}

void WritePlayChoices(const PlayChoices& choices) {
    WritePrivateProfileStringA(kSection, "puresynthesis", choices.pure ? "true" : "false", settingsPath);
    WritePrivateProfileStringA(kSection, "samplerate", std::to_string(choices.format.sampleRate).c_str(),
                               settingsPath);
    WritePrivateProfileStringA(kSection, "sampleformat", SampleFormatText(choices.format.encoding), settingsPath);
    WritePrivateProfileStringA(kSection, "level", levelText(choices.levelCentiDb).c_str(), settingsPath);
}

}  // namespace zelvaro
