// zelvaro-render info: the format and length of a WAV file, and with --levels
// each channel's peak, RMS and DC over the whole file.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>

#include "cli/cli_codec.h"
#include "cli/cli_command.h"
#include "cli/cli_options.h"
#include "cli/cli_wav_input.h"
#include "measure/levels.h"
#include "wavefile/pure_wav_reader.h"

namespace zelvaro::cli {

namespace {

// Levels of a file of any length in constant memory: blocks of a bounded
// number of samples whatever the channel count.
std::vector<measure::ChannelLevels> streamLevels(PureWavReader& reader) {
    const int channels = reader.channels();
    std::vector<measure::LevelAccumulator> accumulators(static_cast<size_t>(channels));
    const int blockFrames = std::max(1, 65536 / channels);
    std::vector<double> block(static_cast<size_t>(blockFrames) * channels);
    for (int n; (n = reader.read(block.data(), blockFrames)) > 0;)
        for (size_t i = 0; i < static_cast<size_t>(n) * channels; ++i) accumulators[i % channels].add(block[i]);
    std::vector<measure::ChannelLevels> levels;
    for (const auto& a : accumulators) levels.push_back(a.levels());
    return levels;
}

}  // namespace

int runInfo(const std::vector<std::string>& args) {
    ParsedArgs parsed = parseArgs(args, {{"levels", 0, 1, {}, {}, true}}, 1);
    if (!parsed.error.empty()) {
        printError(parsed.error + " (see zelvaro-render --help)");
        return kExitRefused;
    }
    const std::string& path = parsed.positional[0];
    WaveFormat format;
    SoundSourceRef source;
    if (int failed = openWavInput(path, source, format)) return failed;

    std::printf("file:            %s\n", path.c_str());
    const std::string name = formatTagName(format.formatTag);
    std::printf("format tag:      %u%s\n", format.formatTag, name.empty() ? "" : (" (" + name + ")").c_str());
    const SampleLayout layout = sampleLayout(format);
    if (format.formatTag == kWaveFormatExtensible && layout.kind != SampleLayout::kCompressed)
        std::printf("sub-format:      %s, %u valid bits\n", layout.kind == SampleLayout::kPcm ? "PCM" : "IEEE float",
                    layout.validBits);
    if (layout.kind == SampleLayout::kCompressed) std::printf("block align:     %u bytes\n", format.blockAlign);
    std::printf("channels:        %u\n", format.channels);
    std::printf("sample rate:     %u Hz\n", format.samplesPerSec);
    std::printf("bits per sample: %u\n", format.bitsPerSample);
    // The count of an uncompressed file comes from the double reader, in 64
    // bits: the source's own length stops at 2^31 - 1 frames.
    PureWavReader reader(path.c_str());
    if (source->failed() && layout.kind != SampleLayout::kCompressed) {
        std::printf("length:          unknown (samples of this width cannot be read)\n");
    } else if (source->failed()) {
        std::printf("length:          unknown (no decoder for this format)\n");
    } else {
        const int64_t frames = reader.ok() ? reader.frames() : source->length();
        std::printf("length:          %lld frames (%.3f s)\n", static_cast<long long>(frames),
                    static_cast<double>(frames) / source->sampleRate);
    }
    if (parsed.value("levels")) {
        if (!reader.ok()) {
            printError("cannot measure the levels of " + path + ": " + reader.error());
            return kExitFailed;
        }
        printLevels(streamLevels(reader));
        if (reader.nonFiniteSamples() > 0)
            std::printf("warning:         %lld samples are not numbers (NaN or infinite); they count as 0 above\n",
                        static_cast<long long>(reader.nonFiniteSamples()));
    }
    return kExitOk;
}

}  // namespace zelvaro::cli
