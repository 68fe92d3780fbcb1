#include <filesystem>
#include <memory>
#include <string>

#include "cli/cli_codec.h"
#include "cli/cli_command.h"
#include "cli/cli_output_set.h"
#include "cli/cli_options.h"
#include "cli/cli_pure_render.h"
#include "cli/cli_quality_options.h"
#include "cli/cli_render_to_file.h"
#include "cli/cli_wav_input.h"
#include "render/pure_wav_source.h"
#include "wavefile/pure_wav_reader.h"
#include "wavefile/wav_file.h"

namespace zelvaro::cli {

int runConvert(const std::vector<std::string>& args) {
    std::vector<OptionSpec> specs = {
        {"rate", 1, 192000, {}}, {"channels", 1, 2, {}}, {"bits", 8, 32, {8, 16, 24, 32}}, formatOption()};
    for (const OptionSpec& spec : qualityOptionSpecs(true)) specs.push_back(spec);
    ParsedArgs parsed = parseArgs(args, specs, 2);
    if (!parsed.error.empty()) {
        printError(parsed.error + " (see zelvaro-render --help)");
        return kExitRefused;
    }
    const std::string& inPath = parsed.positional[0];
    const std::string& outPath = parsed.positional[1];
    // The writer cuts its file to the header at once: converting a file onto
    // itself would destroy the input before it is read.
    if (sameFile(inPath, outPath)) {
        printError(inPath + " and " + outPath + " are the same file");
        return kExitRefused;
    }

    WaveFormat inputFormat;
    SoundSourceRef source;
    if (int failed = openWavInput(inPath, source, inputFormat)) return failed;
    const SampleLayout layout = sampleLayout(inputFormat);
    if (source->failed() && layout.kind == SampleLayout::kPcm) {
        printError(inPath + " has " + std::to_string(inputFormat.bitsPerSample) +
                   "-bit samples; this tool reads PCM samples of up to 32 bits");
        return kExitFailed;
    }
    if (source->failed() && layout.kind == SampleLayout::kFloat) {
        printError(inPath + " has " + std::to_string(inputFormat.bitsPerSample) +
                   "-bit floating-point samples; this tool reads floats of 32 or 64 bits");
        return kExitFailed;
    }
    if (source->failed()) {
        const std::string name = formatTagName(inputFormat.formatTag);
        printError(inPath + " uses format tag " + std::to_string(inputFormat.formatTag) +
                   (name.empty() ? "" : " (" + name + ")") + ", which no installed codec decodes");
        return kExitFailed;
    }
    OutputFormat format{static_cast<int32_t>(parsed.value("rate").value_or(static_cast<uint64_t>(source->sampleRate))),
                        static_cast<uint8_t>(parsed.value("channels").value_or(source->channels)),
                        static_cast<uint16_t>(parsed.value("bits").value_or(16))};
    if (int refused = applyFormatOption(parsed, outPath, format)) return refused;
    QualityOptions quality;
    if (int refused = applyQualityOptions(parsed, format, quality)) return refused;
    if (needsPurePath(quality, format)) {
        auto reader = std::make_shared<PureWavReader>(inPath.c_str());
        if (reader->ok()) {
            usePurePath(format, quality);
            const int32_t rate = format.sampleRate;
            const uint8_t channels = format.channels;
            const int64_t frames = reader->frames() * rate / reader->sampleRate();
            // A float file holds any level: convert writes its samples as they are.
            const bool limit = format.pure->encoding != SampleEncoding::kFloat32;
            // The reader of the last pass, which counts the samples it could not take.
            auto lastReader = std::make_shared<std::shared_ptr<PureWavReader>>();
            const int result = renderToWavFile(pureFiller(
                                                   [inPath, rate, channels, lastReader] {
                                                       *lastReader = std::make_shared<PureWavReader>(inPath.c_str());
                                                       return createPureWavSource(*lastReader, rate, channels);
                                                   },
                                                   frames, quality.peakDbfs, limit),
                                               outPath, format);
            if (*lastReader && (*lastReader)->nonFiniteSamples() > 0)
                printError("warning: " + std::to_string((*lastReader)->nonFiniteSamples()) + " samples of " + inPath +
                           " are not finite (NaN or infinite) and were written as silence");
            return result;
        }
        if (quality.pure) {
            printError("--pure cannot read " + inPath + ": " + reader->error());
            return kExitFailed;
        }
        // A compressed file reaches the chain through its codec at 16 bits,
        // which the chain holds whole.
    }
    if (quality.peakDbfs) {
        return renderToWavFile(
            chainPeakFiller([inPath] { return openWavSource(inPath.c_str()); }, -1, *quality.peakDbfs), outPath,
            format);
    }
    return renderToWavFile(source, outPath, format);
}

}  // namespace zelvaro::cli
