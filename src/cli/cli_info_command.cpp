#include <cstdio>
#include <string>

#include "cli/cli_codec.h"
#include "cli/cli_command.h"
#include "cli/cli_options.h"
#include "cli/cli_wav_input.h"
#include "wavefile/wav_double_reader.h"

namespace zelvaro::cli {

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
    if (source->failed() && layout.kind != SampleLayout::kCompressed) {
        std::printf("length:          unknown (samples of this width cannot be read)\n");
    } else if (source->failed()) {
        std::printf("length:          unknown (no decoder for this format)\n");
    } else {
        int frames = source->length();
        std::printf("length:          %d frames (%.3f s)\n", frames, static_cast<double>(frames) / source->sampleRate);
    }
    if (parsed.value("levels")) {
        WavDoubleReader reader(path.c_str());
        if (!reader.ok()) {
            printError("cannot measure the levels of " + path + ": " + reader.error());
            return kExitFailed;
        }
        printLevels(reader.readAll());
    }
    return kExitOk;
}

}  // namespace zelvaro::cli
