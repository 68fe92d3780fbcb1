#include "cli/cli_codec.h"

#include <algorithm>
#include <cstdio>

#include "cli/cli_command.h"
#include "wavefile/acm_format_choice.h"

namespace zelvaro::cli {

namespace {

struct NamedFormat {
    const char* word;
    uint16_t tag;
    const char* name;
};

// The formats that --format names; others come through the chooser.
const NamedFormat kNamed[] = {
    {"ima-adpcm", 0x11, "IMA ADPCM"},
    {"alaw", 0x6, "A-law"},
    {"mulaw", 0x7, "mu-law"},
    {"gsm", 0x31, "GSM 6.10"},
};

const NamedFormat kOtherNames[] = {
    {nullptr, kWaveFormatPcm, "PCM"},
    {nullptr, kWaveFormatFloat, "IEEE float"},
    {nullptr, 0x2, "Microsoft ADPCM"},
    {nullptr, 0x55, "MPEG layer-3"},
    {nullptr, 0xFFFE, "extensible"},
};

constexpr int32_t kStandardRates[] = {44100, 22050, 11025, 8000};

std::string describe(const char* name, int32_t rate, int channels) {
    return std::string(name) + " at " + std::to_string(rate) + " Hz with " + std::to_string(channels) + " channel" +
           (channels == 1 ? "" : "s");
}

int choose(AcmApi& codecs, const FormatRequest& request, WaveFormat& format) {
    // The chooser opens on 16-bit PCM of the requested kind.
    uint8_t buffer[kFormatBufferBytes] = {};
    const std::vector<uint8_t> pcm = acmPcmRecord(request.channels, static_cast<uint32_t>(request.sampleRate));
    std::copy(pcm.begin(), pcm.end(), buffer);
    if (!chooseWaveFormat(buffer, request.channelsGiven ? request.channels : 0, "Choose the Output Format", codecs)) {
        printError("no format chosen (the chooser was cancelled)");
        return kExitCancelled;
    }
    if (!waveFormatFromBuffer(buffer, kFormatBufferBytes, format)) {
        printError("the chooser returned a damaged format record");
        return kExitFailed;
    }
    return kExitOk;
}

}  // namespace

OptionSpec formatOption() { return {"format", 0, 0, {}, outputFormatWords()}; }

int applyFormatOption(const ParsedArgs& parsed, const std::string& outPath, OutputFormat& format) {
    const std::string word = parsed.word("format").value_or("pcm");
    if (word == "pcm") return kExitOk;
    // Said before any codec is asked or chooser shown: the header of a
    // compressed file is written again at the end, which a pipe cannot take.
    if (outPath == "-") {
        printError("compressed files cannot be written to standard output");
        return kExitRefused;
    }
    if (parsed.value("bits")) {
        printError("--bits applies to PCM output only, not to --format " + word);
        return kExitRefused;
    }
    FormatRequest request{word, format.sampleRate, parsed.value("rate").has_value(), format.channels,
                          parsed.value("channels").has_value()};
    return compressedOutputFormat(installedCodecs(), request, format.compressed);
}

std::vector<std::string> outputFormatWords() {
    std::vector<std::string> words = {"pcm"};
    for (const NamedFormat& f : kNamed) words.push_back(f.word);
    words.push_back("choose");
    return words;
}

std::string formatTagName(uint16_t tag) {
    for (const NamedFormat& f : kNamed)
        if (f.tag == tag) return f.name;
    for (const NamedFormat& f : kOtherNames)
        if (f.tag == tag) return f.name;
    return "";
}

int compressedOutputFormat(AcmApi* codecs, const FormatRequest& request, WaveFormat& format) {
    if (codecs == nullptr) {
        printError("compressed WAV files need the Windows build of this tool (its codecs come from the "
                   "Audio Compression Manager)");
        return kExitRefused;
    }
    if (request.word == "choose") return choose(*codecs, request, format);
    const NamedFormat* named = nullptr;
    for (const NamedFormat& f : kNamed)
        if (request.word == f.word) named = &f;
    if (named == nullptr) {
        printError("unknown format \"" + request.word + "\"");
        return kExitRefused;
    }
    std::vector<int32_t> rates = {request.sampleRate};
    if (!request.rateGiven)
        for (int32_t r : kStandardRates)
            if (r < request.sampleRate) rates.push_back(r);
    std::vector<uint8_t> channelCounts = {request.channels};
    if (!request.channelsGiven && request.channels > 1) channelCounts.push_back(1);
    for (int32_t rate : rates) {
        for (uint8_t channels : channelCounts) {
            if (!suggestWaveFormat(*codecs, named->tag, channels, static_cast<uint32_t>(rate), format)) continue;
            if (rate != request.sampleRate || channels != request.channels)
                std::fprintf(stderr, "zelvaro-render: no installed codec writes %s; writing %s\n",
                             describe(named->name, request.sampleRate, request.channels).c_str(),
                             describe(named->name, rate, channels).c_str());
            return kExitOk;
        }
    }
    printError("no installed codec writes " + describe(named->name, request.sampleRate, request.channels) +
               (rates.size() > 1 ? ", nor at a lower standard rate" : "") +
               (channelCounts.size() > 1 ? ", nor with one channel" : ""));
    return kExitFailed;
}

}  // namespace zelvaro::cli
