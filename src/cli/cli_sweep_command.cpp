#include <cstdio>
#include <string>

#include "cli/cli_command.h"
#include "cli/cli_decimal.h"
#include "cli/cli_impulse_files.h"
#include "cli/cli_options.h"
#include "impulse/exp_sweep.h"
#include "impulse/sample_file.h"

namespace zelvaro::cli {

namespace {

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
    specs.push_back({"rate", 8000, 384000, {}});
    return specs;
}

bool readSweepRequest(const ParsedArgs& parsed, SweepRequest& request) {
    if (!readDecimal(parsed, "from", 0.001, 1e6, request.fromHz, true) ||
        !readDecimal(parsed, "to", 0.001, 1e6, request.toHz, true) ||
        !readDecimal(parsed, "seconds", 0.1, 3600.0, request.seconds, true) ||
        !readDecimal(parsed, "peak", -120.0, 0.0, request.peakDbfs, false) ||
        !readDecimal(parsed, "fade", 0.0, 60000.0, request.fadeMs, false))
        return false;
    if (std::optional<uint64_t> rate = parsed.value("rate"))
        request.rateHz = static_cast<int>(*rate);
    const char* why = nullptr;
    if (!validSweepRequest(request, &why)) {
        printError(std::string("cannot make that sweep: ") + why);
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
    const ExpSweep sweep(request);
    SampleFile file;
    file.rateHz = request.rateHz;
    file.channels.push_back(sweep.samples());
    file.hasSweep = true;
    file.sweep = {request.fromHz, request.toHz, request.seconds, request.peakDbfs, request.fadeMs};
    std::string error;
    if (!writeFloatWav(parsed.positional[0], file, error)) {
        printError(error);
        return kExitFailed;
    }
    if (std::optional<std::string> inversePath = parsed.word("inverse")) {
        SampleFile inverse;
        inverse.rateHz = request.rateHz;
        inverse.channels.push_back(sweep.inverse());
        if (!writeFloatWav(*inversePath, inverse, error)) {
            printError(error);
            return kExitFailed;
        }
        std::printf("inverse filter: %s (%zu frames; the sweep convolved with it peaks at frame %d)\n",
                    inversePath->c_str(), inverse.frames(), sweep.frames() - 1);
    }
    std::printf("sweep: %s, %g to %g Hz in %.6f s (%d frames at %d Hz), peak %.2f dBFS, fades %.1f and %.1f ms\n",
                parsed.positional[0].c_str(), request.fromHz, request.toHz, sweep.lengthSeconds(), sweep.frames(),
                request.rateHz, request.peakDbfs, 1000.0 * sweep.fadeInSeconds(), 1000.0 * sweep.fadeOutSeconds());
    std::printf("harmonics lie before the fundamental's response by L*ln(k), L = %.6f s: 2nd %.3f ms, 3rd %.3f ms\n",
                sweep.rateConstantSeconds(), 1000.0 * sweep.harmonicOffsetSeconds(2),
                1000.0 * sweep.harmonicOffsetSeconds(3));
    return kExitOk;
}

int runDeconvolve(const std::vector<std::string>& args) {
    std::vector<OptionSpec> specs = {{"sweep", 0, 0, {}, {}, false, true}, {"harmonics", 1, 16, {}}};
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
    std::string error;
    SampleFile sweepFile;
    if (!readSampleFile(*sweepPath, sweepFile, error)) {
        printError(error);
        return kExitFailed;
    }
    SweepRequest request;
    if (!sweepOfFile(sweepFile, *sweepPath, request))
        return kExitFailed;
    SampleFile recording;
    if (!readSampleFile(parsed.positional[0], recording, error)) {
        printError(error);
        return kExitFailed;
    }
    if (recording.rateHz != request.rateHz) {
        printError("the recording's rate (" + std::to_string(recording.rateHz) + " Hz) is not the sweep's (" +
                   std::to_string(request.rateHz) + " Hz)");
        return kExitRefused;
    }
    const int harmonics = static_cast<int>(parsed.value("harmonics").value_or(1));
    return writeImpulseResponses(parsed.positional[1], recording, ExpSweep(request), harmonics);
}

}  // namespace zelvaro::cli
