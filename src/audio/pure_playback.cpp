#include "audio/pure_playback.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "base/decimal_text.h"
#include "render/pure_render_to_sink.h"
#include "signal/pure_limiter.h"
#include "signal/pure_signal_source.h"
#include "signal/pure_tone_source.h"
#include "signal/signal_source.h"

namespace zelvaro {

std::optional<int32_t> parseLevelCentiDb(const std::string& text) {
    size_t i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+'))
        negative = text[i++] == '-';
    const size_t point = text.find('.', i);
    const std::string whole = text.substr(i, point == std::string::npos ? std::string::npos : point - i);
    const std::string decimals = point == std::string::npos ? "" : text.substr(point + 1);
    if (!allDigits(whole) || whole.size() > 4 || decimals.size() > 2)
        return std::nullopt;
    if (point != std::string::npos && !allDigits(decimals))
        return std::nullopt;
    int32_t value = std::atoi(whole.c_str()) * 100;
    if (!decimals.empty())
        value += std::atoi(decimals.c_str()) * (decimals.size() == 1 ? 10 : 1);
    if (negative)
        value = -value;
    if (value < kLowestLevelCentiDb || value > kHighestLevelCentiDb)
        return std::nullopt;
    return value;
}

std::string levelText(int32_t centiDb) {
    char text[16];
    std::snprintf(text, sizeof text, "%s%d.%02d", centiDb < 0 ? "-" : "", std::abs(centiDb) / 100,
                  std::abs(centiDb) % 100);
    return text;
}

double pureLevelGain(double levelDbfs) {
    // The default is the level the program has always played and saved (a
    // sine of 131,070.88 in the chain's scale, -12.0413 dBFS, shown rounded):
    // at it the samples stay exactly what they were.
    if (levelDbfs == kDefaultPlayLevelDbfs) return 1.0;
    return std::pow(10.0, levelDbfs / 20.0) / kPureSineAmplitude;
}

PurePlayOutcome playPure(LSoundPlayer& player, const ToneSettings& tone, const PurePlayRequest& request) {
    PurePlayOutcome outcome;
    const uint8_t channels = signalChannels(tone);
    // The device is asked with the last playback closed, as open would close
    // it: a device that takes one stream at a time answers only then.
    player.stop();
    outcome.played = player.chooseFormat(request.format, channels).format;
    PureSourcePtr source = createPureSource(tone, outcome.played.sampleRate, channels, request.noiseSeed);
    if (source == nullptr)
        return outcome;
    // The limiter sees the samples before the gain, so its limits are divided by it.
    const double gain = pureLevelGain(request.levelDbfs);
    const PureLimits limits = pureLimits(outcome.played.encoding);
    source = std::make_unique<PureLimiter>(std::move(source), limits.positive / gain, limits.negative / gain);
    outcome.opened = player.openPure(std::move(source), outcome.played.encoding, gain, request.ditherSeed, 0);
    return outcome;
}

}  // namespace zelvaro
