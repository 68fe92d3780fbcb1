// The options of render and convert that ask for measurement-grade output:
// the double-precision path, 24-bit and float samples, dither and a peak
// level. Without any of them the output is the program's own, byte for byte.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "cli/cli_options.h"
#include "cli/cli_render_to_file.h"

namespace zelvaro::cli {

struct QualityOptions {
    bool pure = false;
    bool floatSamples = false;
    std::optional<uint64_t> ditherSeed;
    std::optional<double> peakDbfs;
};

// --float, --dither tpdf[:SEED], --peak DBFS and, when `withPure`, --pure.
std::vector<OptionSpec> qualityOptionSpecs(bool withPure);

// Reads the options into `options` and sets format.pure when the output
// needs the pure writer. A combination that cannot be written is refused
// with a message: the result is then kExitRefused, else 0.
int applyQualityOptions(const ParsedArgs& parsed, OutputFormat& format, QualityOptions& options);

// Whether the samples must be taken through the double-precision path: asked
// for with --pure, or --peak (a plain gain, which the chain would apply only
// after its own limiting and clipping), or an output finer than the chain's
// 20 bits (24-bit or float).
bool needsPurePath(const QualityOptions& options, const OutputFormat& format);

// Marks `format` as written from the double-precision path, with the pure
// writer at its own width when no option has set one.
void usePurePath(OutputFormat& format, const QualityOptions& options);

// "24-bit", "32-bit float", "16-bit, TPDF dither" for the closing line, with
// ", double precision" for samples from the double-precision path.
std::string describeEncoding(const PureWavFormat& format);

}  // namespace zelvaro::cli
