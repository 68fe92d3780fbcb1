// zelvaro-render analyze: the figures of a test tone in a WAV file, per
// channel, and info --levels: sample peak, RMS and DC.
#include <cmath>
#include <cstdio>
#include <string>

#include "cli/cli_command.h"
#include "cli/cli_decimal.h"
#include "cli/cli_options.h"
#include "measure/levels.h"
#include "measure/tone_analysis.h"
#include "wavefile/wav_double_reader.h"

namespace zelvaro::cli {

namespace {

// Longer files are analysed over their first minute: the figures settle
// long before, and the transforms stay small.
constexpr double kMaxAnalysedSeconds = 60.0;

}  // namespace

void printLevels(const std::vector<std::vector<double>>& channels) {
    std::printf("levels (RMS in dBFS: a full-scale sine is -3.01 dBFS):\n");
    for (size_t c = 0; c < channels.size(); ++c) {
        const measure::ChannelLevels l = measure::measureLevels(channels[c].data(), channels[c].size());
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
    if (auto text = parsed.word("freq")) {
        expectedHz = parseDecimal(*text, 0.0, 1e6);
        if (!expectedHz || *expectedHz <= 0.0 || *expectedHz >= 1e6) {
            printError("--freq takes a frequency in Hz above 0, not \"" + *text + "\"");
            return kExitRefused;
        }
    }
    const std::string& path = parsed.positional[0];
    WavDoubleReader reader(path.c_str());
    if (!reader.ok()) {
        printError("cannot analyse " + path + ": " + reader.error());
        return kExitFailed;
    }
    std::vector<std::vector<double>> channels = reader.readAll();
    const double rate = reader.sampleRate();
    const size_t limit = static_cast<size_t>(kMaxAnalysedSeconds * rate);
    std::printf("file:            %s (%lld frames, %d Hz)\n", path.c_str(), static_cast<long long>(reader.frames()),
                reader.sampleRate());
    if (channels.empty() || channels[0].size() < 64) {
        printError(path + " is too short to analyse");
        return kExitFailed;
    }
    printLevels(channels);
    if (channels[0].size() > limit) std::printf("analysed:        the first %.0f s\n", kMaxAnalysedSeconds);
    for (size_t c = 0; c < channels.size(); ++c) {
        if (channels[c].size() > limit) channels[c].resize(limit);
        const measure::ToneAnalysis t = measure::analyzeTone(channels[c], rate, expectedHz);
        std::printf("channel %zu:\n", c + 1);
        std::printf("  fundamental:   %.6f Hz", t.frequencyHz);
        if (expectedHz) std::printf(" (%+.4f ppm from %g Hz)", (t.frequencyHz / *expectedHz - 1) * 1e6, *expectedHz);
        std::printf("\n  level:         %.3f dBFS (sine amplitude; %.3f dBFS RMS)\n", t.levelDbfs(),
                    t.levelDbfs() - 3.0103);
        std::printf("  THD+N:         %.2f dB (20 Hz to 20 kHz)\n", t.thdnDb);
        std::printf("  SFDR:          %.2f dB (largest spur at %.1f Hz)\n", t.sfdrDb, t.spurHz);
        std::printf("  non-harmonic:  %.2f dB at %.1f Hz (largest component that is no harmonic)\n", t.nonHarmonicDb,
                    t.nonHarmonicHz);
    }
    return kExitOk;
}

}  // namespace zelvaro::cli
