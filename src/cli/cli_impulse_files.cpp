#include "cli/cli_impulse_files.h"

#include <cmath>
#include <cstdio>

#include "cli/cli_command.h"
#include "impulse/frequency_response.h"
#include "impulse/impulse_response.h"
#include "tone/file_replace.h"

namespace zelvaro::cli {

namespace {

// "room.wav" → "room" + suffix; any other name keeps its own end.
std::string besidePath(const std::string& path, const std::string& suffix) {
    const size_t slash = path.find_last_of("/\\");
    const size_t dot = path.rfind('.');
    const bool hasExtension = dot != std::string::npos && (slash == std::string::npos || dot > slash);
    return (hasExtension ? path.substr(0, dot) : path) + suffix;
}

bool writeText(const std::string& path, const std::string& text) {
    if (replaceFileContents(path, reinterpret_cast<const uint8_t*>(text.data()), text.size()))
        return true;
    printError("cannot write " + path);
    return false;
}

}  // namespace

bool sweepOfFile(const SampleFile& file, const std::string& path, SweepRequest& request) {
    if (!file.hasSweep) {
        printError(path + " does not name the sweep it holds: make it with zelvaro-render sweep");
        return false;
    }
    request.fromHz = file.sweep.fromHz;
    request.toHz = file.sweep.toHz;
    request.seconds = file.sweep.seconds;
    request.peakDbfs = file.sweep.peakDbfs;
    request.fadeMs = file.sweep.fadeMs;
    request.rateHz = file.rateHz;
    const char* why = nullptr;
    if (!validSweepRequest(request, &why)) {
        printError(path + " names a sweep that cannot be made: " + why);
        return false;
    }
    if (static_cast<size_t>(ExpSweep(request).frames()) != file.frames()) {
        printError(path + " does not hold the sweep it names (its length differs)");
        return false;
    }
    return true;
}

int writeImpulseResponses(const std::string& outPath, const SampleFile& recording, const ExpSweep& sweep,
                          int highestOrder, double playbackOffsetFrames) {
    SampleFile linear;
    linear.rateHz = recording.rateHz;
    std::vector<SampleFile> harmonics(static_cast<size_t>(std::max(0, highestOrder - 1)));
    std::vector<std::vector<ResponsePoint>> responses;
    const double low = sweep.fromHz() * std::sqrt(2.0);
    const double high = sweep.toHz() / std::pow(2.0, 1.0 / 6.0);
    const std::vector<double> inverse = sweep.inverse();
    for (size_t c = 0; c < recording.channels.size(); ++c) {
        const ImpulseResponses ir = cutResponses(deconvolve(recording.channels[c], inverse), sweep, highestOrder);
        const double delay = ir.delayFrames - playbackOffsetFrames;
        const double peak = std::fabs(ir.linear[static_cast<size_t>(ir.zeroFrame + ir.delayFrames)]);
        std::printf("channel %zu: delay %.0f frames (%.3f ms), peak %.2f dB\n", c + 1, delay,
                    1000.0 * delay / recording.rateHz, 20.0 * std::log10(peak + 1e-300));
        const double fundamental = bandLevelDb(ir.linear, recording.rateHz, low, high);
        for (size_t h = 0; h < ir.harmonics.size(); ++h) {
            const int order = static_cast<int>(h) + 2;
            // A harmonic of order k can only show where k times the swept
            // frequency is still within the sweep.
            const double level = bandLevelDb(ir.harmonics[h], recording.rateHz, order * low, high);
            if (order * low < high)
                std::printf("  harmonic %d: %.1f dB relative to the fundamental\n", order, level - fundamental);
            harmonics[h].rateHz = recording.rateHz;
            harmonics[h].channels.push_back(ir.harmonics[h]);
        }
        responses.push_back(frequencyResponse(ir.linear, ir.zeroFrame + ir.delayFrames, recording.rateHz,
                                              sweep.fromHz(), sweep.toHz()));
        linear.channels.push_back(ir.linear);
    }
    std::string error;
    if (!writeFloatWav(outPath, linear, error)) {
        printError(error);
        return kExitFailed;
    }
    for (size_t h = 0; h < harmonics.size(); ++h) {
        const std::string path = besidePath(outPath, "-h" + std::to_string(h + 2) + ".wav");
        if (!writeFloatWav(path, harmonics[h], error)) {
            printError(error);
            return kExitFailed;
        }
    }
    char title[160];
    std::snprintf(title, sizeof title, "Frequency response, %g to %g Hz sweep of %.2f s at %d Hz", sweep.fromHz(),
                  sweep.toHz(), sweep.lengthSeconds(), recording.rateHz);
    if (!writeText(besidePath(outPath, ".csv"), responseCsv(responses)) ||
        !writeText(besidePath(outPath, ".svg"), responseSvg(responses, title)))
        return kExitFailed;
    std::printf("wrote %s, its response table %s and plot %s\n", outPath.c_str(), besidePath(outPath, ".csv").c_str(),
                besidePath(outPath, ".svg").c_str());
    return kExitOk;
}

}  // namespace zelvaro::cli
