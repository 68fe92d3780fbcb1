#include "cli/cli_impulse_files.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <utility>

#include "cli/cli_command.h"
#include "cli/cli_sweep_record.h"
#include "impulse/frequency_response.h"
#include "impulse/impulse_response.h"

namespace zelvaro::cli {

namespace {

// "room.wav" → "room" + suffix; any other name keeps its own end.
std::string besidePath(const std::string& path, const std::string& suffix) {
    const size_t slash = path.find_last_of("/\\");
    const size_t dot = path.rfind('.');
    const bool hasExtension = dot != std::string::npos && (slash == std::string::npos || dot > slash);
    return (hasExtension ? path.substr(0, dot) : path) + suffix;
}

void warn(const std::string& message) { printError("warning: " + message); }

std::vector<uint8_t> textBytes(const std::string& text) { return std::vector<uint8_t>(text.begin(), text.end()); }

const char* doubtName(ImpulseDoubt doubt) {
    switch (doubt) {
        case ImpulseDoubt::kSilent: return "silent";
        case ImpulseDoubt::kClipped: return "clipped";
        case ImpulseDoubt::kShorterThanSweep: return "shorter than the sweep";
        case ImpulseDoubt::kGap: return "gaps in the recording";
        case ImpulseDoubt::kResponseOutsideCut: return "response outside the cut";
        case ImpulseDoubt::kArrivedBeforePlayed: return "arrived before it was played";
    }
    return "";
}

// Each channel's delay, peak and harmonic levels, marked with its doubts,
// and a warning where its response lies outside the cut.
void printChannelFigures(const ImpulseReport& report, int rateHz) {
    for (size_t c = 0; c < report.channels.size(); ++c) {
        const ChannelImpulse& channel = report.channels[c];
        std::string mark;
        for (ImpulseDoubt doubt : channel.doubts) {
            mark += std::string(mark.empty() ? " [unreliable: " : ", ") + doubtName(doubt);
            char text[300];
            if (doubt == ImpulseDoubt::kResponseOutsideCut) {
                std::snprintf(text, sizeof text,
                              "channel %zu: the strongest part of the response lies %.3f s from time zero, outside "
                              "the response kept: the sweep started too late in the recording, or it is not a "
                              "recording of this sweep",
                              c + 1, static_cast<double>(channel.responses.strongestFromZeroFrames) / rateHz);
                warn(text);
            } else if (doubt == ImpulseDoubt::kArrivedBeforePlayed) {
                std::snprintf(text, sizeof text,
                              "channel %zu: the sweep arrived %.0f frames before it was played: the recording lost "
                              "frames, or its positions do not keep the playback's time; the delay is not the loop's",
                              c + 1, -channel.delayFrames);
                warn(text);
            }
        }
        if (!mark.empty()) mark += "]";
        std::printf("channel %zu: delay %.0f frames (%.3f ms), peak %.2f dB%s\n", c + 1, channel.delayFrames,
                    1000.0 * channel.delayFrames / rateHz, channel.peakDb, mark.c_str());
        for (const HarmonicLevel& h : channel.harmonics)
            std::printf("  harmonic %d: %.1f dB relative to the fundamental%s\n", h.order, h.relativeDb, mark.c_str());
    }
}

}  // namespace

void warnOfSweepLength(const ExpSweep& sweep, const SweepRequest& request) {
    if (!sweep.lengthDiffersFromRequest()) return;
    char text[240];
    std::snprintf(text, sizeof text,
                  "the sweep lasts %.3f s, not the %g s asked for: its rate constant holds a whole number of "
                  "cycles of %g Hz",
                  sweep.lengthSeconds(), request.seconds, request.fromHz);
    warn(text);
}

void addImpulseOutputs(OutputSet& outputs, const std::string& outPath, int highestOrder) {
    outputs.addOutput(outPath, "the impulse response");
    for (int order = 2; order <= highestOrder; ++order)
        outputs.addOutput(besidePath(outPath, "-h" + std::to_string(order) + ".wav"),
                          "harmonic " + std::to_string(order) + "'s response");
    outputs.addOutput(besidePath(outPath, ".csv"), "the response table");
    outputs.addOutput(besidePath(outPath, ".svg"), "the response plot");
}

int checkOutputs(const OutputSet& outputs) {
    bool refused = false;
    const std::string problem = outputs.check(refused);
    if (problem.empty()) return kExitOk;
    printError(problem);
    return refused ? kExitRefused : kExitFailed;
}

int refuseOrWarn(const RecordingCheck& check, const std::string& name, const ExpSweep& sweep) {
    if (check.empty) {
        printError(name + " holds no samples: there is nothing to measure");
        return kExitFailed;
    }
    if (check.nonFiniteSamples > 0) {
        printError(name + " has " + std::to_string(check.nonFiniteSamples) +
                   " samples that are not numbers (NaN or infinite): it cannot be measured");
        return kExitFailed;
    }
    if (check.allSilent) {
        char text[200];
        std::snprintf(text, sizeof text, " is silent (no channel reaches %g dBFS): nothing of the sweep was recorded",
                      kSilentPeakDbfs);
        printError(name + text);
        return kExitFailed;
    }
    if (check.shorterThanSweep)
        warn(name + " (" + std::to_string(check.frames) + " frames) is shorter than the sweep (" +
             std::to_string(sweep.frames()) + " frames): the response misses the sweep's end");
    for (size_t c = 0; c < check.silentChannels.size(); ++c) {
        if (check.silentChannels[c]) warn("channel " + std::to_string(c + 1) + " of " + name + " is silent");
        if (check.gaps[c] > 0) {
            char text[240];
            std::snprintf(text, sizeof text,
                          " has %lld gap%s of silence within the sweep, the first at %.3f s: the sound path dropped "
                          "out, and the response is not the loop's",
                          static_cast<long long>(check.gaps[c]), check.gaps[c] == 1 ? "" : "s",
                          static_cast<double>(check.firstGapFrames[c]) / sweep.rateHz());
            warn("channel " + std::to_string(c + 1) + " of " + name + text);
        }
        if (check.clippedSamples[c] > 0)
            warn("channel " + std::to_string(c + 1) + " of " + name + " clips: " +
                 std::to_string(check.clippedSamples[c]) + " samples at full scale in runs of " +
                 std::to_string(kClippedRunFrames) + " or more; its harmonics are those of the clipping");
    }
    return kExitOk;
}

int writeImpulseResponses(OutputSet& outputs, const SampleFile& recording, const RecordingCheck& check,
                          const ExpSweep& sweep, int highestOrder, double playbackOffsetFrames) {
    ImpulseReport report = measureImpulse(recording.channels, check, sweep, highestOrder, playbackOffsetFrames);
    printChannelFigures(report, recording.rateHz);
    // The responses move into the files' samples: a long one is held once.
    SampleFile linear;
    linear.rateHz = recording.rateHz;
    std::vector<SampleFile> harmonics(static_cast<size_t>(std::max(0, highestOrder - 1)));
    std::vector<std::vector<ResponsePoint>> responses;
    int64_t zeroFrame = 0;
    std::vector<int64_t> harmonicZeroFrames;
    for (ChannelImpulse& channel : report.channels) {
        ImpulseResponses& ir = channel.responses;
        for (size_t h = 0; h < ir.harmonics.size(); ++h) {
            harmonics[h].rateHz = recording.rateHz;
            harmonics[h].channels.push_back(std::move(ir.harmonics[h]));
        }
        zeroFrame = ir.zeroFrame;
        harmonicZeroFrames = ir.harmonicZeroFrames;
        responses.push_back(std::move(channel.response));
        linear.channels.push_back(std::move(ir.linear));
    }
    std::string error;
    size_t index = 0;
    auto put = [&](const std::vector<uint8_t>& bytes) {
        if (bytes.empty() || !outputs.write(index, bytes, error)) {
            printError(error);
            return false;
        }
        ++index;
        return true;
    };
    auto putWav = [&](const SampleFile& file) {
        FloatWavBytes wav = floatWavFile(file);
        error = std::move(wav.error);
        return put(wav.bytes);
    };
    if (!putWav(linear)) return kExitFailed;
    for (const SampleFile& h : harmonics)
        if (!putWav(h)) return kExitFailed;
    char title[160];
    std::snprintf(title, sizeof title, "Frequency response, %g to %g Hz sweep of %.2f s at %d Hz", sweep.fromHz(),
                  sweep.toHz(), sweep.lengthSeconds(), recording.rateHz);
    const FlatBand& flat = report.flat;
    if (!put(textBytes(responseCsv(responses, flat))) || !put(textBytes(responseSvg(responses, title, flat))))
        return kExitFailed;
    if (!outputs.commit(error)) {
        printError(error);
        return kExitFailed;
    }
    const std::string& out = outputs.path(0);
    std::printf("time zero is frame %lld of %s", static_cast<long long>(zeroFrame), out.c_str());
    for (size_t h = 0; h < harmonicZeroFrames.size(); ++h)
        std::printf("; of harmonic %zu's, frame %lld", h + 2, static_cast<long long>(harmonicZeroFrames[h]));
    std::printf("\nflat band %.1f to %.1f Hz\n", flat.lowHz, flat.highHz);
    std::printf("wrote %s, its response table %s and plot %s\n", out.c_str(), outputs.path(index - 2).c_str(),
                outputs.path(index - 1).c_str());
    return kExitOk;
}

bool sweepOfFile(const SampleFile& file, const std::string& path, SweepRequest& request) {
    if (!file.hasSweep) {
        printError(path + " does not name the sweep it holds: make it with zelvaro-render sweep");
        return false;
    }
    request = sweepRequestOf(file);
    if (const SweepRequestCheck made = checkSweepRequest(request); !made.ok()) {
        printError(path + " names a sweep that cannot be made: " + made.error);
        return false;
    }
    const ExpSweep sweep(request);
    if (file.channels.size() != 1 || static_cast<int64_t>(file.frames()) != sweep.frames()) {
        printError(path + " does not hold the sweep it names (its length or channel count differs)");
        return false;
    }
    const std::vector<double> expected = sweep.samples();
    double furthest = 0.0;
    size_t at = 0;
    for (size_t n = 0; n < expected.size(); ++n) {
        const double d = std::fabs(file.channels[0][n] - expected[n]);
        if (!(d <= furthest)) {
            furthest = d;
            at = n;
        }
    }
    if (!(furthest <= kSweepFileTolerance) || file.nonFiniteSamples > 0) {
        printError(path + " does not hold the sweep it names: frame " + std::to_string(at) + " differs by " +
                   std::to_string(furthest) + " (it was edited after it was made)");
        return false;
    }
    return true;
}

}  // namespace zelvaro::cli
