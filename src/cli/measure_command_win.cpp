// zelvaro-render measure: plays an exponential sweep through a waveOut
// device while recording a waveIn device, then deconvolves the recording
// into the loop's impulse response.
#include <windows.h>
#include <mmsystem.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "audio/play_format.h"
#include "cli/cli_command.h"
#include "cli/cli_impulse_files.h"
#include "cli/cli_options.h"
#include "cli/cli_output_set.h"
#include "impulse/exp_sweep.h"
#include "impulse/impulse_measurement.h"
#include "wavefile/pure_quantiser.h"
#include "wavefile/sample_conversion.h"
#include "wavefile/sample_file.h"

namespace zelvaro::cli {

namespace {

// Seconds of recording past the sweep: the loop's own delay (a sound
// server's monitor of an idle sink answers up to about 2 s late) and the
// response's tail.
constexpr double kRecordPastSweepSeconds = 4.0;
// Silence played before the sweep, so that the recording is running when the
// sweep starts: a capture stream starts later than it is asked to (under a
// sound server, by tens of milliseconds).
constexpr double kSilenceBeforeSweepSeconds = 1.0;
// Silence played after the sweep, so that a device that stops at the end
// of its last buffer has passed the sweep's end through.
constexpr double kSilenceAfterSweepSeconds = 0.5;

// The dither's seed: the same noise on every run and every build.
constexpr uint64_t kDitherSeed = 1;

// The sweep in the loop's sample format after `leadFrames` and before
// `tailFrames` of silence (zero bytes in every format): 16 bits with
// triangular dither of +-1 step, as the program plays them, 24 bits and
// float as they are. Full scale is the format's own, which the recording is
// read back at, so that a loop of gain 1 measures 0 dB.
std::vector<uint8_t> toDeviceSamples(const std::vector<double>& samples, SampleEncoding encoding,
                                     size_t leadFrames, size_t tailFrames) {
    const size_t bytes = encodingBytes(encoding);
    std::vector<uint8_t> out((leadFrames + samples.size() + tailFrames) * bytes, 0);
    const std::optional<uint64_t> seed =
        encoding == SampleEncoding::kPcm16 ? std::optional<uint64_t>(kDitherSeed) : std::nullopt;
    PureQuantiser(encoding, seed).convert(samples.data(), samples.size(), 1.0, out.data() + leadFrames * bytes);
    return out;
}

std::string deviceName(bool input, UINT id) {
    if (input) {
        WAVEINCAPSA caps = {};
        if (waveInGetDevCapsA(id, &caps, sizeof caps) == MMSYSERR_NOERROR)
            return caps.szPname;
    } else {
        WAVEOUTCAPSA caps = {};
        if (waveOutGetDevCapsA(id, &caps, sizeof caps) == MMSYSERR_NOERROR)
            return caps.szPname;
    }
    return "the default device";
}

// Frames of each recording buffer: 50 ms at 44.1 kHz.
constexpr size_t kRecordBufferFrames = 2205;

class Loop {
public:
    ~Loop() {
        if (out) {
            waveOutReset(out);
            if (outHeader.dwFlags & WHDR_PREPARED)
                waveOutUnprepareHeader(out, &outHeader, sizeof outHeader);
            waveOutClose(out);
        }
        if (in) {
            waveInReset(in);
            for (WAVEHDR& header : inHeaders)
                if (header.dwFlags & WHDR_PREPARED)
                    waveInUnprepareHeader(in, &header, sizeof header);
            waveInClose(in);
        }
    }

    // Plays `played` while recording into `recorded`, whose size is what to
    // record; `startFrame` gets the frame of the recording at which playback
    // started. A message names a failure.
    bool run(UINT outputDevice, UINT inputDevice, const PlayFormat& loopFormat, std::vector<uint8_t>& played,
             std::vector<uint8_t>& recorded, double& startFrame, std::string& error) {
        // Plain PCM for 16 bits as always; the extensible record for 24-bit
        // and float, the only one a driver is told of either by.
        WAVEFORMATEXTENSIBLE extensible = waveFormatFor(loopFormat, 1);
        const WAVEFORMATEX* format = &extensible.Format;
        const std::string described = describePlayFormat(loopFormat) + " mono";
        if (waveInOpen(&in, inputDevice, format, 0, 0, CALLBACK_NULL) != MMSYSERR_NOERROR) {
            in = nullptr;
            error = "cannot open the input device (" + deviceName(true, inputDevice) + ") for " + described;
            return false;
        }
        if (waveOutOpen(&out, outputDevice, format, 0, 0, CALLBACK_NULL) != MMSYSERR_NOERROR) {
            out = nullptr;
            error = "cannot open the output device (" + deviceName(false, outputDevice) + ") for " + described;
            return false;
        }
        const size_t frameBytes = format->nBlockAlign;
        const size_t recordedFrames = recorded.size() / frameBytes;
        const int rate = loopFormat.sampleRate;
        // Many short buffers rather than one: the first to come back shows
        // that sound is really arriving.
        inHeaders.resize((recordedFrames + kRecordBufferFrames - 1) / kRecordBufferFrames);
        for (size_t i = 0; i < inHeaders.size(); ++i) {
            WAVEHDR& header = inHeaders[i];
            const size_t first = i * kRecordBufferFrames;
            header.lpData = reinterpret_cast<LPSTR>(recorded.data() + first * frameBytes);
            header.dwBufferLength =
                static_cast<DWORD>(frameBytes * std::min(kRecordBufferFrames, recordedFrames - first));
            if (waveInPrepareHeader(in, &header, sizeof header) != MMSYSERR_NOERROR ||
                waveInAddBuffer(in, &header, sizeof header) != MMSYSERR_NOERROR) {
                error = "the input device refused its buffers";
                return false;
            }
        }
        outHeader.lpData = reinterpret_cast<LPSTR>(played.data());
        outHeader.dwBufferLength = static_cast<DWORD>(played.size());
        if (waveOutPrepareHeader(out, &outHeader, sizeof outHeader) != MMSYSERR_NOERROR) {
            error = "the output device refused its buffer";
            return false;
        }
        if (waveInStart(in) != MMSYSERR_NOERROR) {
            error = "the input device did not start";
            return false;
        }
        // A sound server's capture of an idle sink can take a second or two
        // to deliver its first sound.
        if (!waitFor([&] { return (inHeaders.front().dwFlags & WHDR_DONE) != 0; }, 10000)) {
            error = "the input device delivered nothing within 10 s";
            return false;
        }
        MMTIME position = {};
        position.wType = TIME_SAMPLES;
        waveInGetPosition(in, &position, sizeof position);
        startFrame = position.wType == TIME_SAMPLES ? position.u.sample : kRecordBufferFrames;
        if (waveOutWrite(out, &outHeader, sizeof outHeader) != MMSYSERR_NOERROR) {
            error = "the output device did not start";
            return false;
        }
        const DWORD limit = static_cast<DWORD>(1000.0 * recordedFrames / rate) + 10000;
        if (!waitFor([&] { return (inHeaders.back().dwFlags & WHDR_DONE) && (outHeader.dwFlags & WHDR_DONE); }, limit)) {
            error = "the devices did not finish in time";
            return false;
        }
        return true;
    }

private:
    template <class Done>
    static bool waitFor(Done done, DWORD milliseconds) {
        const ULONGLONG limit = GetTickCount64() + milliseconds;
        while (!done()) {
            if (GetTickCount64() > limit)
                return false;
            Sleep(10);
        }
        return true;
    }

    HWAVEOUT out = nullptr;
    HWAVEIN in = nullptr;
    WAVEHDR outHeader = {};
    std::vector<WAVEHDR> inHeaders;
};

}  // namespace

int runMeasure(const std::vector<std::string>& args) {
    std::vector<OptionSpec> specs = sweepOptionSpecs();
    specs.push_back({"device", 0, 255, {}});
    specs.push_back({"input", 0, 255, {}});
    specs.push_back({"harmonics", 1, kMaxHarmonicOrder, {}});
    // The loop's sample format: 16 bits as always, or 24 bits or float so
    // that a loopback measures the interface rather than 16-bit samples.
    specs.push_back({"bits", 16, 24, {16, 24}});
    specs.push_back({"float", 0, 1, {}, {}, true});
    const ParsedArgs parsed = parseArgs(args, specs, 1);
    if (!parsed.error.empty()) {
        printError(parsed.error + " (see zelvaro-render --help)");
        return kExitRefused;
    }
    SweepRequest request;
    request.peakDbfs = -6.0;  // headroom for a loop that gains
    if (!readSweepRequest(parsed, request))
        return kExitRefused;
    const int harmonics = static_cast<int>(parsed.value("harmonics").value_or(1));
    const bool floatSamples = parsed.value("float").has_value();
    if (floatSamples && parsed.value("bits")) {
        printError("--bits and --float choose the same thing: give one");
        return kExitRefused;
    }
    const SampleEncoding encoding = floatSamples                         ? SampleEncoding::kFloat32
                                    : parsed.value("bits").value_or(16) == 24 ? SampleEncoding::kPcm24
                                                                               : SampleEncoding::kPcm16;
    PlayFormat loopFormat;
    loopFormat.sampleRate = request.rateHz;
    loopFormat.encoding = encoding;
    const size_t sampleBytes = encodingBytes(encoding);
    // Every output is checked before the sweep is played, not after.
    OutputSet outputs;
    addImpulseOutputs(outputs, parsed.positional[0], harmonics);
    if (const int refused = checkOutputs(outputs)) return refused;
    const ExpSweep sweep(request);
    warnOfSweepLength(sweep, request);
    const std::vector<double> samples = sweep.samples();
    const size_t lead = static_cast<size_t>(kSilenceBeforeSweepSeconds * request.rateHz);
    std::vector<uint8_t> played =
        toDeviceSamples(samples, encoding, lead, static_cast<size_t>(kSilenceAfterSweepSeconds * request.rateHz));
    const size_t recordedFrames =
        lead + samples.size() + static_cast<size_t>(kRecordPastSweepSeconds * request.rateHz);
    std::vector<uint8_t> recorded(recordedFrames * sampleBytes);
    const UINT output = parsed.value("device") ? static_cast<UINT>(*parsed.value("device")) : WAVE_MAPPER;
    const UINT input = parsed.value("input") ? static_cast<UINT>(*parsed.value("input")) : WAVE_MAPPER;
    std::printf("playing a %g to %g Hz sweep of %.2f s on %s, recording %s, in %s\n", request.fromHz, request.toHz,
                sweep.lengthSeconds(), deviceName(false, output).c_str(), deviceName(true, input).c_str(),
                describePlayFormat(loopFormat).c_str());
    std::fflush(stdout);
    double startFrame = 0.0;
    std::string error;
    {
        Loop loop;
        if (!loop.run(output, input, loopFormat, played, recorded, startFrame, error)) {
            printError(error);
            return kExitFailed;
        }
    }
    SampleFile recording;
    recording.rateHz = request.rateHz;
    recording.channels.emplace_back(recordedFrames);
    const int64_t nonFinite = static_cast<int64_t>(decodePureSamples(
        recording.channels[0].data(), recorded.data(), recordedFrames, static_cast<int>(sampleBytes),
        encoding == SampleEncoding::kFloat32));
    std::printf("playback started at frame %.0f of the recording; the delay below runs from there to the sweep's\n"
                "arrival, less the %.0f ms of silence played before it\n",
                startFrame, 1000.0 * kSilenceBeforeSweepSeconds);
    const RecordingCheck check =
        checkRecording(recording.channels, nonFinite, fullScaleOf(8 * static_cast<int>(sampleBytes)), sweep);
    if (const int refused = refuseOrWarn(check, "the recording", sweep)) return refused;
    return writeImpulseResponses(outputs, recording, check, sweep, harmonics, startFrame + static_cast<double>(lead));
}

}  // namespace zelvaro::cli
