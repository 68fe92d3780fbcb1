#include "cli/cli_quality_options.h"

#include "cli/cli_command.h"
#include "cli/cli_decimal.h"

namespace zelvaro::cli {

namespace {

// Dither with no seed given is still the same on every run.
constexpr uint64_t kDefaultDitherSeed = 1;
constexpr double kLowestPeakDbfs = -200.0;

int refuse(const std::string& message) {
    printError(message + " (see zelvaro-render --help)");
    return kExitRefused;
}

bool parseDither(const std::string& text, uint64_t& seed) {
    if (text == "tpdf") {
        seed = kDefaultDitherSeed;
        return true;
    }
    if (text.compare(0, 5, "tpdf:") != 0) return false;
    std::optional<uint64_t> n = parseNumber(text.substr(5), 0, UINT64_MAX);
    if (!n) return false;
    seed = *n;
    return true;
}

PureWavFormat pureFormatFor(const OutputFormat& format, const QualityOptions& options) {
    PureWavFormat pure;
    pure.encoding = format.bitsPerSample == 16   ? SampleEncoding::kPcm16
                    : format.bitsPerSample == 24 ? SampleEncoding::kPcm24
                    : options.floatSamples       ? SampleEncoding::kFloat32
                                                 : SampleEncoding::kPcm32;
    pure.ditherSeed = options.ditherSeed;
    return pure;
}

}  // namespace

std::vector<OptionSpec> qualityOptionSpecs(bool withPure) {
    std::vector<OptionSpec> specs = {
        {"float", 0, 1, {}, {}, true},
        {"dither", 0, 0, {}, {}, false, true},
        {"peak", 0, 0, {}, {}, false, true},
    };
    if (withPure) specs.push_back({"pure", 0, 1, {}, {}, true});
    return specs;
}

int applyQualityOptions(const ParsedArgs& parsed, OutputFormat& format, QualityOptions& options) {
    options.pure = parsed.value("pure").has_value();
    options.floatSamples = parsed.value("float").has_value();
    if (auto text = parsed.word("dither")) {
        uint64_t seed = 0;
        if (!parseDither(*text, seed)) return refuse("--dither takes tpdf or tpdf:SEED, not \"" + *text + "\"");
        options.ditherSeed = seed;
    }
    if (auto text = parsed.word("peak")) {
        options.peakDbfs = parseDecimal(*text, kLowestPeakDbfs, 0.0);
        if (!options.peakDbfs) return refuse("--peak takes a level in dBFS from -200 to 0, not \"" + *text + "\"");
    }
    const bool bitsGiven = parsed.value("bits").has_value();
    if (options.floatSamples) {
        if (bitsGiven && format.bitsPerSample != 32) return refuse("--float writes 32-bit samples; --bits must be 32");
        format.bitsPerSample = 32;
    }
    const bool pureWriter = options.pure || options.floatSamples || options.ditherSeed || options.peakDbfs ||
                      format.bitsPerSample == 24;
    if (!pureWriter) return 0;
    if (format.compressed.formatTag != 0)
        return refuse("--bits 24, --float, --dither, --peak and --pure write PCM or float files, not --format " +
                      parsed.word("format").value_or(""));
    if (format.bitsPerSample == 8) return refuse("8-bit files are written only without --dither, --peak and --pure");
    if (options.ditherSeed && format.bitsPerSample == 32)
        return refuse("--dither is for 16- and 24-bit files");

    format.pure = pureFormatFor(format, options);
    return 0;
}

bool needsPurePath(const QualityOptions& options, const OutputFormat& format) {
    if (options.pure || options.peakDbfs) return true;
    return format.pure &&
           (format.pure->encoding == SampleEncoding::kPcm24 || format.pure->encoding == SampleEncoding::kFloat32);
}

void usePurePath(OutputFormat& format, const QualityOptions& options) {
    if (!format.pure) format.pure = pureFormatFor(format, options);
    format.pure->fromPureSources = true;
}

std::string describeEncoding(const PureWavFormat& format) {
    std::string text = format.encoding == SampleEncoding::kFloat32 ? "32-bit float"
                       : std::to_string(encodingBytes(format.encoding) * 8) + "-bit";
    if (format.ditherSeed) text += ", TPDF dither";
    if (format.fromPureSources) text += ", double precision";
    return text;
}

}  // namespace zelvaro::cli
