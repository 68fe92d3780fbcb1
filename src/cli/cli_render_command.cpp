#include <cstdio>
#include <ctime>
#include <filesystem>
#include <optional>
#include <string>

#include "render/pure_parallel_source.h"
#include "render/render_source.h"
#include "render/tone_length.h"
#include "cli/cli_codec.h"
#include "cli/cli_command.h"
#include "cli/cli_output_set.h"
#include "cli/cli_options.h"
#include "cli/cli_pure_render.h"
#include "cli/cli_quality_options.h"
#include "cli/cli_render_to_file.h"
#include "signal/frame_count.h"
#include "signal/pure_signal_source.h"
#include "signal/pure_tone_source.h"
#include "tone/tone_file.h"
#include "tone/tone_settings.h"

namespace zelvaro::cli {

namespace {

// The program's own message for a tone without a duration, with its lines
// ended the terminal's way.
constexpr const char* kNoDurationTitle = "No Duration Specified";
constexpr const char* kNoDurationText =
    "Tones can only be saved as wav files if they are a fixed duration tone.\n"
    "\n"
    "Select the Constant (Specified Duration) or Sweep items from the Tones menu.";

}  // namespace

int runRender(const std::vector<std::string>& args) {
    std::vector<OptionSpec> specs = {{"rate", 1, 192000, {}},
                                     {"channels", 1, 2, {}},
                                     {"bits", 8, 32, {8, 16, 24, 32}},
                                     {"seed", 0, 0xFFFFFFFFu, {}},
                                     formatOption()};
    for (const OptionSpec& spec : qualityOptionSpecs(true)) specs.push_back(spec);
    ParsedArgs parsed = parseArgs(args, specs, 2);
    if (!parsed.error.empty()) {
        printError(parsed.error + " (see zelvaro-render --help)");
        return kExitRefused;
    }
    const std::string& tonePath = parsed.positional[0];
    const std::string& outPath = parsed.positional[1];
    if (sameFile(tonePath, outPath)) {
        printError(tonePath + " and " + outPath + " are the same file");
        return kExitRefused;
    }

    // As the program does: defaults first, then the file over them. Unlike the
    // program, which keeps its defaults silently, a missing file is an error.
    ToneSettings tone;
    setDefaults(tone);
    if (!loadToneFile(tonePath, tone)) {
        printError("cannot read the tone file " + tonePath + " (missing or unreadable)");
        return kExitFailed;
    }
    if (!tone.fixedDuration()) {
        printError(std::string(kNoDurationTitle) + " (" + tonePath + ")");
        std::fprintf(stderr, "%s\n", kNoDurationText);
        return kExitRefused;
    }
    // The generators take a duration of 0 for "no duration" and would run a
    // minute; the flag promises a fixed length, so nothing sensible is asked.
    if (tone.durationMs == 0) {
        printError("the tone's duration is 0 ms (" + tonePath + ")");
        return kExitRefused;
    }

    std::optional<uint32_t> seed;
    if (auto s = parsed.value("seed")) seed = static_cast<uint32_t>(*s);
    SoundSourceRef source = createRenderSource(tone, seed);
    if (!source.usable()) {
        printError("the tone in " + tonePath + " cannot be generated");
        return kExitFailed;
    }
    OutputFormat format{static_cast<int32_t>(parsed.value("rate").value_or(static_cast<uint64_t>(source->sampleRate))),
                        static_cast<uint8_t>(parsed.value("channels").value_or(source->channels)),
                        static_cast<uint16_t>(parsed.value("bits").value_or(16))};
    if (int refused = applyFormatOption(parsed, outPath, format)) return refused;
    QualityOptions quality;
    if (int refused = applyQualityOptions(parsed, format, quality)) return refused;
    if (needsPurePath(quality, format)) {
        usePurePath(format, quality);
        // Both passes of a level-setting render must make the same noise.
        const uint32_t noiseSeed = seed.value_or(static_cast<uint32_t>(std::time(nullptr)));
        const int32_t rate = format.sampleRate;
        const uint8_t channels = format.channels;
        return renderToWavFile(pureFiller(
                                   [tone, rate, channels, noiseSeed] {
                                       return createPureRenderSource(tone, rate, channels, noiseSeed,
                                                                     pureRenderThreads());
                                   },
                                   framesOfDuration(tone.durationMs, rate), quality.peakDbfs),
                               outPath, format);
    }
    return renderToWavFile(source, outPath, format,
                           framesAtRate(toneFrames(tone.durationMs), source->sampleRate, format.sampleRate));
}

}  // namespace zelvaro::cli
