// zelvaro-render analyze: the figures of a test tone in a WAV file, per
// channel, and the levels block it shares with info --levels.
#include <cmath>
#include <cstdio>
#include <optional>
#include <string>

#include "cli/cli_command.h"
#include "cli/cli_decimal.h"
#include "cli/cli_options.h"
#include "measure/levels.h"
#include "measure/tone_analysis.h"
#include "wavefile/pure_wav_reader.h"

namespace zelvaro::cli {

namespace {

// Longer files are analysed over their first minute: the figures settle
// long before, and memory stays bounded however long the file.
constexpr double kMaxAnalysedSeconds = 60.0;
// Samples (of all channels) held at once: 1 GiB of doubles. A minute of
// 192 kHz audio in 10 channels fits; a header claiming thousands of
// channels of a long file does not, and is refused before reading.
constexpr int64_t kMaxAnalysedSamples = int64_t{1} << 27;

void printTone(const measure::ToneAnalysis& t, std::optional<double> expectedHz) {
    std::printf("  fundamental:   %.6f Hz", t.frequencyHz);
    if (expectedHz) std::printf(" (%+.4f ppm from %g Hz)", (t.frequencyHz / *expectedHz - 1) * 1e6, *expectedHz);
    std::printf("\n  level:         %.3f dBFS (sine amplitude; %.3f dBFS RMS)\n", t.levelDbfs(),
                t.levelDbfs() - 3.0103);
    std::printf("  THD+N:         %.2f dB (%g Hz to %g Hz)\n", t.thdnDb, t.thdnBand.lowHz, t.thdnBand.highHz);
    std::printf("  SFDR:          %.2f dB (largest spur at %.1f Hz; spurs within %.3g Hz of the tone or of 0 Hz "
                "are not told from them)\n",
                t.sfdrDb, t.spurHz, t.sfdrExcludedHz);
    std::printf("  non-harmonic:  %.2f dB at %.1f Hz (largest component that is no harmonic)\n", t.nonHarmonicDb,
                t.nonHarmonicHz);
}

std::string hertz(double value) {
    char text[40];
    std::snprintf(text, sizeof text, "%.10g Hz", value);
    return text;
}

std::string refusalText(const measure::ToneAnalysis& t) {
    std::string why = measure::describeRefusal(t.refusal);
    const bool located = t.refusal == measure::ToneRefusal::kTooFewCycles ||
                         t.refusal == measure::ToneRefusal::kNearNyquist ||
                         t.refusal == measure::ToneRefusal::kFarFromExpected;
    if (located && std::isfinite(t.frequencyHz)) why += "; the strongest component lies near " + hertz(t.frequencyHz);
    return why;
}

}  // namespace

void printLevels(const std::vector<measure::ChannelLevels>& channels) {
    std::printf("levels (RMS in dBFS: a full-scale sine is -3.01 dBFS):\n");
    for (size_t c = 0; c < channels.size(); ++c) {
        const measure::ChannelLevels& l = channels[c];
        std::printf("  channel %zu:      peak %8.3f dBFS, RMS %8.3f dBFS, DC %+.7f\n", c + 1, l.peakDbfs(),
                    l.rmsDbfs(), l.dc);
    }
}

int runAnalyze(const std::vector<std::string>& args) {
    ParsedArgs parsed = parseArgs(args, {{"freq", 0, 0, {}, {}, false, true}}, 1);
    if (!parsed.error.empty()) {
        printError(parsed.error + " (see zelvaro-render --help)");
        return kExitRefused;
    }
    std::optional<double> expectedHz;
    std::string freqText;
    if (auto text = parsed.word("freq")) {
        freqText = *text;
        expectedHz = parseDecimal(*text, -1e9, 1e9);
        if (!expectedHz) {
            printError("--freq takes a frequency in Hz, not \"" + *text + "\"");
            return kExitRefused;
        }
    }
    const std::string& path = parsed.positional[0];
    PureWavReader reader(path.c_str());
    if (!reader.ok()) {
        printError("cannot analyse " + path + ": " + reader.error());
        return kExitFailed;
    }
    const double rate = reader.sampleRate();
    if (rate / 2 <= measure::AnalysisBand{}.lowHz) {
        printError("cannot analyse " + path + ": at " + std::to_string(reader.sampleRate()) +
                   " Hz no frequency lies within the THD+N band, which starts at " +
                   hertz(measure::AnalysisBand{}.lowHz));
        return kExitRefused;
    }
    if (expectedHz && !(*expectedHz > 0 && *expectedHz < rate / 2)) {
        printError("--freq " + freqText + " lies outside the file's band: it must be above 0 Hz and below " +
                   hertz(rate / 2) + " (half the sample rate)");
        return kExitRefused;
    }
    const int64_t limit = static_cast<int64_t>(kMaxAnalysedSeconds * rate);
    const int64_t frames = std::min(reader.frames(), limit);
    std::printf("file:            %s (%lld frames, %d Hz, %d channels)\n", path.c_str(),
                static_cast<long long>(reader.frames()), reader.sampleRate(), reader.channels());
    if (frames < static_cast<int64_t>(measure::kMinToneFrames)) {
        printError("cannot analyse " + path + ": it has " + std::to_string(frames) + " frames; a sine fit needs " +
                   std::to_string(measure::kMinToneFrames));
        return kExitFailed;
    }
    if (frames * reader.channels() > kMaxAnalysedSamples) {
        printError("cannot analyse " + path + ": " + std::to_string(reader.channels()) + " channels of " +
                   std::to_string(frames) + " frames are more than the " + std::to_string(kMaxAnalysedSamples) +
                   " samples analysed at once");
        return kExitRefused;
    }
    std::vector<std::vector<double>> channels = reader.readAll(frames);
    if (reader.nonFiniteSamples() > 0) {
        printError("cannot analyse " + path + ": " + std::to_string(reader.nonFiniteSamples()) +
                   " of its samples are not numbers (NaN or infinite)");
        return kExitFailed;
    }
    if (reader.frames() > limit)
        std::printf("analysed:        the first %.0f s (%lld frames); the rest is not read\n", kMaxAnalysedSeconds,
                    static_cast<long long>(frames));
    std::vector<measure::ChannelLevels> levels;
    for (const auto& c : channels) levels.push_back(measure::measureLevels(c.data(), c.size()));
    printLevels(levels);
    int exit = kExitOk;
    for (size_t c = 0; c < channels.size(); ++c) {
        const measure::ToneAnalysis t = measure::analyzeTone(channels[c], rate, expectedHz);
        channels[c] = {};
        std::printf("channel %zu:\n", c + 1);
        if (t.measured()) {
            printTone(t, expectedHz);
            continue;
        }
        const std::string why = refusalText(t);
        std::printf("  refused:       %s\n", why.c_str());
        printError(path + " channel " + std::to_string(c + 1) + ": " + why);
        exit = kExitRefused;
    }
    return exit;
}

}  // namespace zelvaro::cli
