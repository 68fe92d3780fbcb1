// Compressed WAV formats on the command line: the names --format takes, the
// format record a codec suggests for a name, rate and channel count, and the
// platform's chooser.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "cli/cli_options.h"
#include "cli/cli_render_to_file.h"
#include "wavefile/acm_api.h"
#include "wavefile/wav_header.h"

namespace zelvaro::cli {

// The --format option of render and convert.
OptionSpec formatOption();

// The words --format takes: "pcm" (the default), the compressed formats, and
// "choose" for the platform's format chooser.
std::vector<std::string> outputFormatWords();

// A name for a format tag ("IMA ADPCM"), or "" for an unknown one.
std::string formatTagName(uint16_t tag);

struct FormatRequest {
    std::string word;  // one of outputFormatWords(), not "pcm"
    int32_t sampleRate;
    bool rateGiven;  // --rate was given: no other rate is tried
    uint8_t channels;
    bool channelsGiven;  // --channels was given: no other count is tried
};

// The codecs of this build: the platform's ACM on Windows, none elsewhere.
AcmApi* installedCodecs();

// Fills `format` with the record to write for `request`. A named format takes
// the codec's suggestion for the requested rate and channels; when the codec
// offers none and the rate or channels were not given, lower standard rates
// and then one channel are tried. Returns an ExitCode after saying why on
// stderr (no codecs in this build, none writes the format, the chooser was
// cancelled).
int compressedOutputFormat(AcmApi* codecs, const FormatRequest& request, WaveFormat& format);

// Applies --format to `format`, whose rate and channels are already set
// (from --rate and --channels when given); refuses --bits beside a compressed
// format, and standard output ("-") for one. Returns an ExitCode after saying
// why on stderr.
int applyFormatOption(const ParsedArgs& parsed, const std::string& outPath, OutputFormat& format);

}  // namespace zelvaro::cli
