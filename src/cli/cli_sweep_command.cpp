#include <cstdio>
#include <string>

#include "cli/cli_command.h"
#include "cli/cli_decimal.h"
#include "cli/cli_impulse_files.h"
#include "cli/cli_options.h"
#include "cli/cli_output_set.h"
#include "impulse/exp_sweep.h"
#include "impulse/impulse_measurement.h"
#include "impulse/impulse_response.h"
#include "wavefile/sample_file.h"

namespace zelvaro::cli {

namespace {

// What --from and --to read as numbers at all; the sweep's own limits
// (checkSweepRequest) then hold them below half the rate.
constexpr double kLowestSweepOptionHz = 0.001;
constexpr double kHighestSweepOptionHz = 1e6;

// One decimal option; false with a message printed when it is missing (and
// required) or out of range.
bool readDecimal(const ParsedArgs& parsed, const char* name, double low, double high, double& value, bool required) {
    const std::optional<std::string> text = parsed.word(name);
    if (!text) {
        if (required)
            printError(std::string("--") + name + " is required (see zelvaro-render --help)");
        return !required;
    }
    const std::optional<double> number = parseDecimal(*text, low, high);
    if (!number) {
        char range[96];
        std::snprintf(range, sizeof range, " must be a number from %g to %g, not \"", low, high);
        printError(std::string("--") + name + range + *text + "\"");
        return false;
    }
    value = *number;
    return true;
}

}  // namespace

std::vector<OptionSpec> sweepOptionSpecs() {
    std::vector<OptionSpec> specs;
    for (const char* name : {"from", "to", "seconds", "peak", "fade"})
        specs.push_back({name, 0, 0, {}, {}, false, true});
    specs.push_back({"rate", kMinSweepRateHz, kMaxSweepRateHz, {}});
    return specs;
}

bool readSweepRequest(const ParsedArgs& parsed, SweepRequest& request) {
    if (!readDecimal(parsed, "from", kLowestSweepOptionHz, kHighestSweepOptionHz, request.fromHz, true) ||
        !readDecimal(parsed, "to", kLowestSweepOptionHz, kHighestSweepOptionHz, request.toHz, true) ||
        !readDecimal(parsed, "seconds", kMinSweepSeconds, kMaxSweepSeconds, request.seconds, true) ||
        !readDecimal(parsed, "peak", kMinSweepPeakDbfs, 0.0, request.peakDbfs, false) ||
        !readDecimal(parsed, "fade", 0.0, kMaxSweepFadeMs, request.fadeMs, false))
        return false;
    if (std::optional<uint64_t> rate = parsed.value("rate"))
        request.rateHz = static_cast<int>(*rate);
    if (const SweepRequestCheck made = checkSweepRequest(request); !made.ok()) {
        printError("cannot make that sweep: " + made.error);
        return false;
    }
    // A sweep that no recording of it could be deconvolved with would cost
    // the user a recording session before deconvolve refused it.
    const ExpSweep sweep(request);
    if (SweepDeconvolver::bytesNeeded(sweep, static_cast<uint64_t>(sweep.frames()), 1, 1) > kMaxDeconvolutionBytes) {
        printError("cannot make that sweep: deconvolving even a mono recording of its own length would take more "
                   "than the " + std::to_string(kMaxDeconvolutionBytes >> 30) + " GiB allowed; make it shorter");
        return false;
    }
    return true;
}

int runSweep(const std::vector<std::string>& args) {
    std::vector<OptionSpec> specs = sweepOptionSpecs();
    specs.push_back({"inverse", 0, 0, {}, {}, false, true});
    const ParsedArgs parsed = parseArgs(args, specs, 1);
    if (!parsed.error.empty()) {
        printError(parsed.error + " (see zelvaro-render --help)");
        return kExitRefused;
    }
    SweepRequest request;
    if (!readSweepRequest(parsed, request))
        return kExitRefused;
    const std::optional<std::string> inversePath = parsed.word("inverse");
    OutputSet outputs;
    outputs.addOutput(parsed.positional[0], "the sweep", true);
    if (inversePath) outputs.addOutput(*inversePath, "the inverse filter", true);
    if (const int refused = checkOutputs(outputs)) return refused;
    const ExpSweep sweep(request);
    warnOfSweepLength(sweep, request);
    // Messages go to standard error when the sweep itself is on standard output.
    std::FILE* report = parsed.positional[0] == "-" || (inversePath && *inversePath == "-") ? stderr : stdout;
    SampleFile file;
    file.rateHz = request.rateHz;
    file.channels.push_back(sweep.samples());
    file.hasSweep = true;
    file.sweep = {request.fromHz, request.toHz, request.seconds, request.peakDbfs, request.fadeMs};
    std::string error;
    if (!outputs.write(0, floatWavBytes(file), error)) {
        printError(error);
        return kExitFailed;
    }
    size_t inverseFrames = 0;
    if (inversePath) {
        file.channels.clear();
        SampleFile inverse;
        inverse.rateHz = request.rateHz;
        inverse.channels.push_back(sweep.inverse());
        inverseFrames = inverse.frames();
        if (!outputs.write(1, floatWavBytes(inverse), error)) {
            printError(error);
            return kExitFailed;
        }
    }
    if (!outputs.commit(error)) {
        printError(error);
        return kExitFailed;
    }
    if (inversePath)
        std::fprintf(report, "inverse filter: %s (%zu frames; the sweep convolved with it peaks at frame %lld)\n",
                     inversePath->c_str(), inverseFrames, static_cast<long long>(sweep.frames() - 1));
    std::fprintf(report,
                 "sweep: %s, %g to %g Hz in %.6f s (%lld frames at %d Hz), peak %.2f dBFS, fades %.1f and %.1f ms\n",
                 parsed.positional[0].c_str(), request.fromHz, request.toHz, sweep.lengthSeconds(),
                 static_cast<long long>(sweep.frames()), request.rateHz, request.peakDbfs,
                 1000.0 * sweep.fadeInSeconds(), 1000.0 * sweep.fadeOutSeconds());
    std::fprintf(report, "flat band %.1f to %.1f Hz\n", sweep.flatBand().lowHz, sweep.flatBand().highHz);
    std::fprintf(report,
                 "harmonics lie before the fundamental's response by L*ln(k), L = %.6f s: 2nd %.3f ms, 3rd %.3f ms\n",
                 sweep.rateConstantSeconds(), 1000.0 * sweep.harmonicOffsetSeconds(2),
                 1000.0 * sweep.harmonicOffsetSeconds(3));
    return kExitOk;
}

int runDeconvolve(const std::vector<std::string>& args) {
    std::vector<OptionSpec> specs = {{"sweep", 0, 0, {}, {}, false, true}, {"harmonics", 1, kMaxHarmonicOrder, {}}};
    const ParsedArgs parsed = parseArgs(args, specs, 2);
    if (!parsed.error.empty()) {
        printError(parsed.error + " (see zelvaro-render --help)");
        return kExitRefused;
    }
    const std::optional<std::string> sweepPath = parsed.word("sweep");
    if (!sweepPath) {
        printError("--sweep SWEEP.wav is required (see zelvaro-render --help)");
        return kExitRefused;
    }
    const std::string& recordingPath = parsed.positional[0];
    const int harmonics = static_cast<int>(parsed.value("harmonics").value_or(1));
    OutputSet outputs;
    outputs.addInput(recordingPath, "the recording");
    outputs.addInput(*sweepPath, "the sweep");
    addImpulseOutputs(outputs, parsed.positional[1], harmonics);
    if (const int refused = checkOutputs(outputs)) return refused;
    // A file longer than any sweep is not read to find that out.
    const SampleFileShape sweepShape = probeSampleFile(*sweepPath);
    if (!sweepShape.error.empty()) {
        printError(sweepShape.error);
        return kExitFailed;
    }
    if (sweepShape.frames > kMaxSweepFrames) {
        printError(*sweepPath + " (" + std::to_string(sweepShape.frames) + " frames) is longer than any sweep (" +
                   std::to_string(kMaxSweepFrames) + " frames)");
        return kExitFailed;
    }
    SampleFile sweepFile = readSampleFile(*sweepPath);
    if (!sweepFile.error.empty()) {
        printError(sweepFile.error);
        return kExitFailed;
    }
    SweepRequest request;
    if (!sweepOfFile(sweepFile, *sweepPath, request))
        return kExitFailed;
    sweepFile = SampleFile();
    const ExpSweep sweep(request);
    const SampleFileShape shape = probeSampleFile(recordingPath);
    if (!shape.error.empty()) {
        printError(shape.error);
        return kExitFailed;
    }
    if (shape.rateHz != request.rateHz) {
        printError("the recording's rate (" + std::to_string(shape.rateHz) + " Hz) is not the sweep's (" +
                   std::to_string(request.rateHz) + " Hz)");
        return kExitRefused;
    }
    const uint64_t bytes =
        SweepDeconvolver::bytesNeeded(sweep, static_cast<uint64_t>(shape.frames), shape.channels, harmonics);
    if (bytes > kMaxDeconvolutionBytes) {
        char text[240];
        std::snprintf(text, sizeof text,
                      " (%lld frames of %d channels) would take %.2f GiB to deconvolve with this sweep; the limit is "
                      "%.0f GiB",
                      static_cast<long long>(shape.frames), shape.channels, bytes / 1073741824.0,
                      kMaxDeconvolutionBytes / 1073741824.0);
        printError(recordingPath + text);
        return kExitRefused;
    }
    const SampleFile recording = readSampleFile(recordingPath);
    if (!recording.error.empty()) {
        printError(recording.error);
        return kExitFailed;
    }
    const RecordingCheck check = checkRecording(recording.channels, recording.nonFiniteSamples,
                                                fullScaleOf(recording.bitsPerSample), sweep);
    if (const int refused = refuseOrWarn(check, recordingPath, sweep)) return refused;
    return writeImpulseResponses(outputs, recording, check, sweep, harmonics);
}

}  // namespace zelvaro::cli
